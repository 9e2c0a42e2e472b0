// Canonical ordering of the terms of a quandrel name.
#include "../core/stage.h"
#include "ordering.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../chem/elements.h"
#include "../chem/perception.h"
#include "naming.h"
#include "../core/failure.h"
#include "../core/text.h"

const char* const NAME_LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
const char* const DESCRIPTOR_START = "123#@";
const char* const ELEMENT_END = "abcdefghijklmnoprstuvwxyz]";

namespace {

// The letters that may follow the first letter of an element symbol in atomicNumberOfTerm.
const char* const SYMBOL_LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWabcdefghijklmnopqrstuvwxyz";

const std::size_t npos = std::string::npos;

// What a term is compared by: its bond value, its ring weight and the text behind them.
struct TermKey {
    double bond = 0.0;
    int ringWeight = 0;
    std::string element;
};

TermKey keyOf(const std::string& term) {
    TermKey key;
    if (!term.empty() && (term[0] == '#' || term[0] == '@')) {
        key.bond = term[0] == '#' ? 1.5 : 1.0;  // shared ring: delocalised; foreign ring: single
        std::size_t p = 1;
        int ring = 0;
        for (; p < term.size() && std::isdigit(static_cast<unsigned char>(term[p])); ++p)
            if (ring <= (INT_MAX - 9) / 10) ring = ring * 10 + (term[p] - '0');
        key.ringWeight = quersumme(ring);
        key.element = term.substr(p);
        return key;
    }
    // the leading decimal number: digits, then an optional fraction
    std::size_t p = 0;
    while (p < term.size() && std::isdigit(static_cast<unsigned char>(term[p]))) ++p;
    if (p < term.size() && term[p] == '.') {
        ++p;
        while (p < term.size() && std::isdigit(static_cast<unsigned char>(term[p]))) ++p;
    }
    key.bond = p > 0 ? std::strtod(term.substr(0, p).c_str(), nullptr) : 0.0;
    key.element = term.substr(p);
    return key;
}

// Position of the first descriptor start behind the first letter of a term: the
// beginning of its second shell.
std::size_t secondShellStart(const std::string& term) {
    std::size_t letter = term.find_first_of(NAME_LETTERS);
    if (letter == npos) return npos;
    return term.find_first_of(DESCRIPTOR_START, letter + 1);
}

// Stable insertion sort by the term ordering. Term lists are short (one entry per
// neighbour), and insertion sort stays well defined whatever the ordering does.
void sortTerms(std::vector<MyString>& terms) {
    for (std::size_t i = 1; i < terms.size(); ++i) {
        MyString moving = terms[i];
        std::size_t j = i;
        while (j > 0 && moving < terms[j - 1]) {
            terms[j] = terms[j - 1];
            --j;
        }
        terms[j] = moving;
    }
}

std::string joined(const std::vector<MyString>& terms) {
    std::string text;
    for (const MyString& t : terms) text += t;
    return text;
}

}  // namespace

bool operator<(MyString const& a, MyString const& b) {
    TermKey ka = keyOf(a);
    TermKey kb = keyOf(b);
    if (ka.bond != kb.bond) return ka.bond > kb.bond;  // triple, double, delocalised, single
    int za = atomicNumberOfTerm(ka.element);
    int zb = atomicNumberOfTerm(kb.element);
    if (za == zb && ka.ringWeight != kb.ringWeight) return ka.ringWeight > kb.ringWeight;
    if (za == zb && a.compare(b) != 0) {
        std::size_t sa = secondShellStart(a);
        std::size_t sb = secondShellStart(b);
        if (sa == npos) return false;
        if (sb == npos) return true;
        return MyString(a.substr(sa)) < MyString(b.substr(sb));
    }
    return za > zb;  // heavier element first
}

void stringel(std::string& group) {
    std::vector<MyString> terms;
    std::size_t start = 0;
    while (start < group.size()) {
        std::size_t end = group.find_first_of(ELEMENT_END, start);
        if (end == npos) {
            terms.push_back(group.substr(start));
            break;
        }
        // a second letter directly behind makes a two-letter symbol; a "]" does not
        if (group[end] != ']' && end + 1 < group.size() && group[end + 1] != ']' &&
            std::strchr(ELEMENT_END, group[end + 1]) != nullptr)
            ++end;
        terms.push_back(group.substr(start, end - start + 1));
        start = end + 1;
    }
    if (terms.size() > 1) sortTerms(terms);
    group = joined(terms);
}

int atomicNumberOfTerm(std::string text) {
    if (text.empty()) return -1;
    std::size_t end = text.find_first_not_of(SYMBOL_LETTERS, 1);
    std::string symbol(1, static_cast<char>(std::toupper(static_cast<unsigned char>(text[0]))));
    symbol += text.substr(1, end == npos ? npos : end - 1);
    const int e = elementIndex(symbol);
    return e < 0 ? -1 : e + 1;
}

int quersumme(int value) {
    int sum = value % 10;
    while ((value /= 10) != 0) sum += value % 10;
    return sum;
}

std::string splitChargeSuffix(std::string& name) {
    std::size_t head = name.find_first_of(NAME_LETTERS);
    if (head == npos || name.empty()) return "";
    std::size_t n = name.size();
    std::size_t sign = npos;
    if (name[n - 1] == '+' || name[n - 1] == '-') {
        sign = n - 1;  // "+" or "-" alone
    } else {
        // sign, digits, ".", one digit: the "%c%3.1f" form
        std::size_t p = n;
        if (p >= 3 && std::isdigit(static_cast<unsigned char>(name[p - 1])) && name[p - 2] == '.') {
            p -= 2;
            std::size_t digits = p;
            while (p > 0 && std::isdigit(static_cast<unsigned char>(name[p - 1]))) --p;
            if (p < digits && p > 0 && (name[p - 1] == '+' || name[p - 1] == '-')) sign = p - 1;
        }
    }
    if (sign == npos || sign <= head) return "";
    std::string suffix = name.substr(sign);
    name.erase(sign);
    return suffix;
}

std::string canonicalName(const std::string& name) {
    std::string s = name;
    std::string suffix = splitChargeSuffix(s);

    // the content of every bracket group
    std::size_t from = 0;
    for (;;) {
        std::size_t open = s.find('[', from);
        if (open == npos) break;
        std::size_t close = s.find(']', open);
        if (close == npos) break;
        std::string group = s.substr(open + 1, close - open - 1);
        stringel(group);
        s.replace(open + 1, close - open - 1, group);
        from = open + 1 + group.size();
    }

    // the first-shell terms behind the head
    std::vector<MyString> terms;
    std::size_t n = s.size();
    std::size_t region = npos;
    std::size_t pos = s.find_first_of(NAME_LETTERS);
    while (pos != npos && pos + 1 < n) {
        std::size_t start = s.find_first_of(DESCRIPTOR_START, pos);
        if (start == npos) break;
        if (region == npos) region = start;
        std::size_t end = s.find_first_of(NAME_LETTERS, start);
        if (end == npos) {
            terms.push_back(s.substr(start));
            break;
        }
        std::size_t second = s.find_first_of(ELEMENT_END, end + 1);
        if (second != npos && second - end <= 1) end = second;
        if (end + 1 < n && s[end + 1] == '[') {
            std::size_t close = s.find(']', end + 1);
            end = close == npos ? n - 1 : close;
        }
        terms.push_back(s.substr(start, end - start + 1));
        pos = end;
    }
    if (terms.size() > 1) sortTerms(terms);
    std::string body = joined(terms);
    if (!body.empty()) s.replace(region, npos, body);
    return s + suffix;
}

void sortQuandrel(const PerceptionRun& run, int atomIndex, std::unordered_map<std::string, std::string>* known) {
    NameTable& quandrelName = run.p.quandrelName;
    Stage stage("SortQuandrel");
    std::string ownForm;
    const std::string* form = &ownForm;
    if (known != nullptr) {
        const std::string name = quandrelName[atomIndex];
        auto it = known->find(name);
        if (it == known->end()) it = known->emplace(name, canonicalName(name)).first;
        form = &it->second;
    } else {
        ownForm = canonicalName(quandrelName[atomIndex]);
    }
    const std::string& sorted = *form;
    copyOrStop(quandrelName[atomIndex], NAME_CAP, sorted.c_str(),
               "The quandrel name of atom %s does not fit into %d characters.", run.site(atomIndex).label, NAME_CAP - 1);
}

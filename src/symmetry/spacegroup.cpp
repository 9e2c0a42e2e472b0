// Operator texts and the expansion of listed generators to the full operator list.
#include "spacegroup.h"

#include <gemmi/symmetry.hpp>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "../core/failure.h"
#include "../core/text.h"

namespace {

// Rewrites decimal numbers ("0.5", ".25", "0.33333") as fractions of at most 24ths, which
// the triplet parser reads; false when a decimal is no such fraction.
bool decimalsAsFractions(const std::string& text, std::string& out, std::string& why) {
    out.clear();
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.') {
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && (std::isdigit(static_cast<unsigned char>(text[end])) || text[end] == '.')) ++end;
        const std::string number = text.substr(i, end - i);
        i = end;
        if (number.size() > (number.find('.') == std::string::npos ? 9u : 20u)) {
            why = "the number " + number + " is too long for an operator";
            return false;
        }
        if (number.find('.') == std::string::npos) {
            out += number;
            continue;
        }
        char* stop = nullptr;
        const double value = std::strtod(number.c_str(), &stop);
        if (stop == number.c_str() || *stop != '\0' || !(std::fabs(value) < 1000.0)) {
            why = "\"" + number + "\" is no number";
            return false;
        }
        bool done = false;
        for (int den : {1, 2, 3, 4, 6, 8, 12, 24}) {
            const double num = value * den;
            const double whole = std::round(num);
            if (std::fabs(num - whole) < 1e-3 * den) {
                out += std::to_string(static_cast<long>(whole));
                if (den != 1) out += "/" + std::to_string(den);
                done = true;
                break;
            }
        }
        if (!done) {
            why = "the translation " + number + " is no multiple of 1/24";
            return false;
        }
    }
    return true;
}

SymOp fromGemmi(const gemmi::Op& g) {
    SymOp op;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) op.rot[r][c] = g.rot[r][c] / gemmi::Op::DEN;
        op.tran[r] = static_cast<double>(g.tran[r]) / gemmi::Op::DEN;
    }
    op.text = g.triplet();
    return op;
}

bool parseGemmi(const std::string& text, gemmi::Op& g, std::string& why) {
    std::string rewritten;
    if (!decimalsAsFractions(text, rewritten, why)) return false;
    try {
        g = gemmi::parse_triplet(rewritten);
    } catch (const std::exception& e) {
        why = e.what();
        return false;
    }
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            if (g.rot[r][c] % gemmi::Op::DEN != 0) {
                why = "the rotation part has fractional coefficients";
                return false;
            } else if (std::abs(g.rot[r][c]) > gemmi::Op::DEN) {
                // checked before the determinant, whose products would overflow
                why = "the rotation part has coefficients other than -1, 0 and 1";
                return false;
            }
    const int den3 = gemmi::Op::DEN * gemmi::Op::DEN * gemmi::Op::DEN;
    if (std::abs(g.det_rot()) != den3 || g.rot_type() == 0) {
        why = "the rotation part is no crystallographic rotation";
        return false;
    }
    g.wrap();
    return true;
}

}  // namespace

bool parseOperator(const std::string& text, SymOp& op, std::string& why) {
    gemmi::Op g;
    if (!parseGemmi(text, g, why)) return false;
    op = fromGemmi(g);
    return true;
}

bool parseLattCard(const std::string& line, CrystalSymmetry& symmetry) {
    char centric = 0, lattice = 0;
    if (std::sscanf(line.c_str(), "LATT %c %c", &centric, &lattice) != 2) return false;
    centric = static_cast<char>(std::toupper(static_cast<unsigned char>(centric)));
    lattice = static_cast<char>(std::toupper(static_cast<unsigned char>(lattice)));
    if (centric != 'C' && centric != 'A') return false;
    if (std::string("PABCIFR").find(lattice) == std::string::npos) return false;
    symmetry.centric = centric;
    symmetry.lattice = lattice;
    symmetry.known = true;
    return true;
}

std::vector<SymOp> expandedOperators(const CrystalSymmetry& symmetry, std::string& problem) {
    std::vector<gemmi::Op> listed{gemmi::Op::identity()};
    if (symmetry.known) {
        for (const std::string& text : symmetry.symm) {
            gemmi::Op g;
            std::string why;
            if (!parseGemmi(text, g, why)) {
                problem = format("the symmetry card \"SYMM %s\" holds no operator (%s).", text.c_str(), why.c_str());
                return {};
            }
            listed.push_back(g);
        }
    }
    std::vector<gemmi::Op> withInversion = listed;
    if (symmetry.known && symmetry.centric == 'C')
        for (const gemmi::Op& g : listed) {
            gemmi::Op inverse{g.negated_rot(), {-g.tran[0], -g.tran[1], -g.tran[2]}};
            withInversion.push_back(inverse.wrap());
        }
    // R: the obverse rhombohedral centring on hexagonal axes.
    const char letter = symmetry.known ? symmetry.lattice : 'P';
    std::vector<SymOp> ops;
    std::vector<gemmi::Op> group;
    std::set<std::string> seen;
    for (const gemmi::Op::Tran& centring : gemmi::centring_vectors(letter))
        for (const gemmi::Op& g : withInversion) {
            gemmi::Op full = g.add_centering(centring);
            const std::string key = full.triplet();
            if (!seen.insert(key).second) continue;
            ops.push_back(fromGemmi(full));
            group.push_back(full);
        }
    // The list must be a group: every product of two operators is in it (translations taken
    // modulo whole cells). A list that is not would make images without end; no space group
    // has more than 192 operators in its conventional cell.
    if (group.size() > 192) {
        problem = format("the symmetry cards give %zu distinct operators; no space group has more than 192.", group.size());
        return {};
    }
    for (const gemmi::Op& a : group)
        for (const gemmi::Op& b : group) {
            const gemmi::Op product = a.combine(b).wrap();
            if (seen.count(product.triplet()) == 0) {
                problem = format("the symmetry operators are no group: %s after %s gives %s, which the list lacks (the "
                                 "SYMM cards must give every operator but the identity, the inversions of a centric "
                                 "lattice and the centring translations).",
                                 a.triplet().c_str(), b.triplet().c_str(), product.triplet().c_str());
                return {};
            }
        }
    return ops;
}

std::vector<SymOp> expandSymmetry(const CrystalSymmetry& symmetry, const char* source) {
    std::string problem;
    std::vector<SymOp> ops = expandedOperators(symmetry, problem);
    if (!problem.empty()) fatal("%s: %s", source, problem.c_str());
    return ops;
}

std::vector<SymOp> symmetryOperators(const CrystalSymmetry& symmetry, const char* source) {
    return symmetry.operators.empty() ? expandSymmetry(symmetry, source) : symmetry.operators;
}

bool operatorOfLine(const std::string& line, std::string& text, std::string& why) {
    const std::size_t first = line.find_first_not_of(" \t");
    const std::size_t last = line.find_last_not_of(" \t\r\n");
    text = first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
    SymOp op;
    return parseOperator(text, op, why);
}

bool takeSymmetryCard(const std::string& line, CrystalSymmetry& symmetry, const char* source) {
    auto isCard = [&](const char* word) {
        return line.compare(0, 4, word) == 0 && (line.size() == 4 || std::isspace(static_cast<unsigned char>(line[4])));
    };
    if (isCard("LATT")) {
        if (!parseLattCard(line, symmetry))
            fatal("%s: the line \"%s\" is no LATT card (C or A, then one of P A B C I F R).", source, line.c_str());
        return true;
    }
    if (!isCard("SYMM")) return false;
    std::string text, why;
    if (!operatorOfLine(line.substr(4), text, why))
        fatal("%s: the line \"%s\" holds no symmetry operator (%s).", source, line.c_str(), why.c_str());
    if (!symmetry.known) {
        // Operators without a LATT card: nothing implies an inversion.
        symmetry.known = true;
        symmetry.centric = 'A';
    }
    symmetry.symm.push_back(text);
    return true;
}

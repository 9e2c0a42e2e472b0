// Element data. Iodine is written "J"; elements 104 to 109 as Ku, Ha, Rf, Ns, Hs, Mt.
#include "elements.h"

#include <cctype>
#include <cstring>

#include "../core/structure.h"

// clang-format off
const char PSE_Symbol[][3] = {
    "H", "He", "Li", "Be", "B", "C", "N", "O", "F", "Ne",  // 0-9
    "Na", "Mg", "Al", "Si", "P", "S", "Cl", "Ar", "K", "Ca",  // 10-19
    "Sc", "Ti", "V", "Cr", "Mn", "Fe", "Co", "Ni", "Cu", "Zn",  // 20-29
    "Ga", "Ge", "As", "Se", "Br", "Kr", "Rb", "Sr", "Y", "Zr",  // 30-39
    "Nb", "Mo", "Tc", "Ru", "Rh", "Pd", "Ag", "Cd", "In", "Sn",  // 40-49
    "Sb", "Te", "J", "Xe", "Cs", "Ba", "La", "Ce", "Pr", "Nd",  // 50-59
    "Pm", "Sm", "Eu", "Gd", "Tb", "Dy", "Ho", "Er", "Tm", "Yb",  // 60-69
    "Lu", "Hf", "Ta", "W", "Re", "Os", "Ir", "Pt", "Au", "Hg",  // 70-79
    "Tl", "Pb", "Bi", "Po", "At", "Rn", "Fr", "Ra", "Ac", "Th",  // 80-89
    "Pa", "U", "Np", "Pu", "Am", "Cm", "Bk", "Cf", "Es", "Fm",  // 90-99
    "Md", "No", "Lr", "Ku", "Ha", "Rf", "Ns", "Hs", "Mt",  // 100-108
};
static_assert(sizeof PSE_Symbol / sizeof PSE_Symbol[0] == N_SYMBOLS, "one symbol per element");

const std::uint16_t Kovalenz_Radien[] = {
    /*H*/ 37, /*He*/ 0,
    /*Li*/ 123, /*Be*/ 90, /*B*/ 80, /*C*/ 77, /*N*/ 74, /*O*/ 71, /*F*/ 72, /*Ne*/ 0,
    /*Na*/ 154, /*Mg*/ 136, /*Al*/ 118, /*Si*/ 111, /*P*/ 106, /*S*/ 102, /*Cl*/ 99, /*Ar*/ 0,
    /*K*/ 203, /*Ca*/ 174, /*Sc*/ 144, /*Ti*/ 132, /*V*/ 122, /*Cr*/ 118, /*Mn*/ 117, /*Fe*/ 117, /*Co*/ 116,
    /*Ni*/ 115, /*Cu*/ 117, /*Zn*/ 125, /*Ga*/ 126, /*Ge*/ 122, /*As*/ 120, /*Se*/ 116, /*Br*/ 114, /*Kr*/ 0,
    /*Rb*/ 218, /*Sr*/ 191, /*Y*/ 162, /*Zr*/ 145, /*Nb*/ 134, /*Mo*/ 130, /*Tc*/ 127, /*Ru*/ 125, /*Rh*/ 125,
    /*Pd*/ 128, /*Ag*/ 134, /*Cd*/ 148, /*In*/ 144, /*Sn*/ 141, /*Sb*/ 140, /*Te*/ 136, /*J*/ 133, /*Xe*/ 0,
    /*Cs*/ 235, /*Ba*/ 198, /*La*/ 169, /*Ce*/ 165, /*Pr*/ 165, /*Nd*/ 164, /*Pm*/ 164, /*Sm*/ 162, /*Eu*/ 185,
    /*Gd*/ 161, /*Tb*/ 159, /*Dy*/ 159, /*Ho*/ 157, /*Er*/ 157, /*Tm*/ 156, /*Yb*/ 170, /*Lu*/ 156, /*Hf*/ 144,
    /*Ta*/ 134, /*W*/ 130, /*Re*/ 128, /*Os*/ 126, /*Ir*/ 127, /*Pt*/ 130, /*Au*/ 134, /*Hg*/ 149, /*Tl*/ 148,
    /*Pb*/ 147, /*Bi*/ 146, /*Po*/ 146, /*At*/ 145, /*Rn*/ 0,
    /*Fr*/ 0, /*Ra*/ 0, /*Ac*/ 188, /*Th*/ 165, /*Pa*/ 161, /*U*/ 142, /*Np*/ 130, /*Pu*/ 151, /*Am*/ 182,
    /*Cm*/ 0, /*Bk*/ 0, /*Cf*/ 0, /*Es*/ 0, /*Fm*/ 0, /*Md*/ 0, /*No*/ 0, /*Lr*/ 0, /*Ku*/ 0,
    /*Ha*/ 0, /*Rf*/ 0, /*Ns*/ 0, /*Hs*/ 0, /*Mt*/ 0,
};
static_assert(sizeof Kovalenz_Radien / sizeof Kovalenz_Radien[0] == N_RADII, "table length");

const std::uint16_t ElNeg[] = {
    /*H*/ 220, /*He*/ 550,
    /*Li*/ 97, /*Be*/ 147, /*B*/ 201, /*C*/ 250, /*N*/ 307, /*O*/ 350, /*F*/ 440, /*Ne*/ 480,
    /*Na*/ 101, /*Mg*/ 123, /*Al*/ 147, /*Si*/ 174, /*P*/ 206, /*S*/ 244, /*Cl*/ 283, /*Ar*/ 320,
    /*K*/ 91, /*Ca*/ 104, /*Sc*/ 120, /*Ti*/ 132, /*V*/ 145, /*Cr*/ 156, /*Mn*/ 160, /*Fe*/ 164, /*Co*/ 170,
    /*Ni*/ 175, /*Cu*/ 175, /*Zn*/ 166, /*Ga*/ 182, /*Ge*/ 202, /*As*/ 220, /*Se*/ 248, /*Br*/ 274, /*Kr*/ 290,
    /*Rb*/ 89, /*Sr*/ 99, /*Y*/ 111, /*Zr*/ 122, /*Nb*/ 123, /*Mo*/ 130, /*Tc*/ 136, /*Ru*/ 142, /*Rh*/ 145,
    /*Pd*/ 130, /*Ag*/ 142, /*Cd*/ 146, /*In*/ 149, /*Sn*/ 172, /*Sb*/ 182, /*Te*/ 201, /*J*/ 221, /*Xe*/ 240,
    /*Cs*/ 86, /*Ba*/ 97, /*La*/ 108, /*Ce*/ 108, /*Pr*/ 107, /*Nd*/ 107, /*Pm*/ 107, /*Sm*/ 107, /*Eu*/ 110,
    /*Gd*/ 111, /*Tb*/ 110, /*Dy*/ 110, /*Ho*/ 110, /*Er*/ 111, /*Tm*/ 111, /*Yb*/ 106, /*Lu*/ 114, /*Hf*/ 123,
    /*Ta*/ 133, /*W*/ 140, /*Re*/ 146, /*Os*/ 152, /*Ir*/ 155, /*Pt*/ 142, /*Au*/ 142, /*Hg*/ 144, /*Tl*/ 144,
    /*Pb*/ 155, /*Bi*/ 167, /*Po*/ 0, /*At*/ 0, /*Rn*/ 0,
    /*Fr*/ 0, /*Ra*/ 0, /*Ac*/ 0, /*Th*/ 0, /*Pa*/ 0, /*U*/ 0, /*Np*/ 0, /*Pu*/ 0, /*Am*/ 0,
    /*Cm*/ 0,
};
static_assert(sizeof ElNeg / sizeof ElNeg[0] == N_ELNEG, "table length");

const std::int32_t wertigkeiten[] = {
    /*H*/ 1, /*He*/ 0,
    /*Li*/ 1, /*Be*/ 2, /*B*/ 3, /*C*/ 4, /*N*/ 3, /*O*/ 2, /*F*/ 1, /*Ne*/ 0,
    /*Na*/ 1, /*Mg*/ 2, /*Al*/ 3, /*Si*/ 4, /*P*/ 3, /*S*/ 2, /*Cl*/ 1, /*Ar*/ 0,
    /*K*/ 1, /*Ca*/ 2, /*Sc*/ 3, /*Ti*/ 4, /*V*/ 5, /*Cr*/ 6, /*Mn*/ 1, /*Fe*/ 2, /*Co*/ 2,
    /*Ni*/ 2, /*Cu*/ 2, /*Zn*/ 2, /*Ga*/ 3, /*Ge*/ 4, /*As*/ 3, /*Se*/ 2, /*Br*/ 1, /*Kr*/ 0,
    /*Rb*/ 1, /*Sr*/ 2, /*Y*/ 3, /*Zr*/ 4, /*Nb*/ 3, /*Mo*/ 2, /*Tc*/ 1, /*Ru*/ 2, /*Rh*/ 2,
    /*Pd*/ 2, /*Ag*/ 1, /*Cd*/ 2, /*In*/ 3, /*Sn*/ 2, /*Sb*/ 3, /*Te*/ 2, /*J*/ 1, /*Xe*/ 2,
    /*Cs*/ 1, /*Ba*/ 2, /*La*/ 3, /*Ce*/ 3, /*Pr*/ 3, /*Nd*/ 3, /*Pm*/ 3, /*Sm*/ 3, /*Eu*/ 3,
    /*Gd*/ 3, /*Tb*/ 3, /*Dy*/ 3, /*Ho*/ 3, /*Er*/ 3, /*Tm*/ 3, /*Yb*/ 3, /*Lu*/ 3, /*Hf*/ 4,
    /*Ta*/ 3, /*W*/ 2, /*Re*/ 3, /*Os*/ 2, /*Ir*/ 2, /*Pt*/ 2, /*Au*/ 1, /*Hg*/ 1, /*Tl*/ 3,
    /*Pb*/ 2, /*Bi*/ 3, /*Po*/ 0, /*At*/ 0, /*Rn*/ 0,
    /*Fr*/ 0, /*Ra*/ 0,
};
static_assert(sizeof wertigkeiten / sizeof wertigkeiten[0] == N_VALENCES, "table length");
// clang-format on

int radiusOf(int element) { return (element >= 0 && element < N_RADII) ? Kovalenz_Radien[element] : 0; }
int elNegOf(int element) { return (element >= 0 && element < N_ELNEG) ? ElNeg[element] : 0; }
int valenceOf(int element) { return (element >= 0 && element < N_VALENCES) ? wertigkeiten[element] : 0; }

void appendLowerCase(std::string& text, const char* word) {
    for (; *word != '\0'; ++word) text.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(*word))));
}

int elementIndex(const std::string& symbol) {
    for (int e = 0; e < N_SYMBOLS; ++e)
        if (symbol == PSE_Symbol[e]) return e;
    return -1;
}

const char* elementSymbol(int element, const char* unknown) {
    return element >= 0 && element < N_SYMBOLS ? PSE_Symbol[element] : unknown;
}

std::string elementPartOf(const char* word) {
    std::string symbol;
    for (const char* p = word; *p != '\0' && !std::isdigit(static_cast<unsigned char>(*p)) && *p != '+' && *p != '-'; ++p)
        symbol.push_back(static_cast<char>(symbol.empty() ? std::toupper(static_cast<unsigned char>(*p))
                                                          : std::tolower(static_cast<unsigned char>(*p))));
    return symbol;
}

int scatteringElementIndex(const char* symbol) {
    const int e = elementIndex(symbol);
    return e < 0 ? 1 : e;
}

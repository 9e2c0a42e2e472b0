#include "populations.h"

void appendPopulationRows(std::string& text, const double* p, int count, const char* field, const char* between) {
    for (int k = 0; k < count; ++k) {
        appendf(text, field, p[k]);
        const bool rowEnd = (k + 1) % POPULATIONS_PER_ROW == 0 || k + 1 == count;
        text += rowEnd ? "\n" : between;
    }
}

void appendFixedPopulationRows(std::string& text, const double* p, int count, int width, int precision) {
    for (int k = 0; k < count; ++k) {
        appendFixed(text, p[k], width, precision);
        if ((k + 1) % POPULATIONS_PER_ROW == 0 || k + 1 == count) text.push_back('\n');
    }
}

int readPopulations(FILE* file, double* p) {
    int n = 0;
    while (n < N_POPULATIONS && std::fscanf(file, "%lf", &p[n]) == 1) ++n;
    return n;
}

#pragma once
// Static helpers shared by the records, the views and the processing tools.

#include <limits>
#include <string>

struct SAcqUpdate;

class CUtility
{
public:
    CUtility() = delete;

    // Marks a background energy that is not used.
    static constexpr double Infinity = std::numeric_limits<double>::infinity();

    // The value with its four bytes in reverse order (DAU data are big-endian).
    static int Reverse(int value);
    static void Reverse(int* value);

    // Background-corrected intensity of one point: v holds peak, first and
    // second background. planes 3: peak minus the mean background, 2: peak minus
    // the first background, both not below 0; otherwise the peak.
    static double CalcIntensity(const int* v, int planes);
    // The same for stored values (a profile's curve of 1 to 3 values).
    static double CalcIntensity(const double* v, int planes);

    // n corrected values into dst, negatives stored as 0, with their minimum and
    // maximum. A missing background is null; with one background, the one given
    // is subtracted. The integer form halves the background sum with integer
    // division.
    static void CalcIntensity(int* dst, const int* pk, const int* bk1, const int* bk2, int n, int* pMin,
                              int* pMax);
    static void CalcIntensity(double* dst, const int* pk, const int* bk1, const int* bk2, int n, double* pMin,
                              double* pMax);

    // Folds one acquired block (points m_iStart..m_iEnd of the update) into dst.
    // The pointers already point at the block's first point. Real form: running
    // mean over the scans; integer form: the value divided by the number of scans
    // (the planes hold sums). A negative corrected value in a later scan leaves
    // the destination as it was.
    static void CalcIntensity(double* dst, const int* pk, const int* bk1, const int* bk2,
                              const SAcqUpdate* u);
    static void CalcIntensity(int* dst, const int* pk, const int* bk1, const int* bk2, const SAcqUpdate* u);

    // Shows the message and abandons the command by throwing CUserException.
    // id only: the string-table text; id and text: the text of id with "%1"
    // replaced by text; text only: the text. Id 0 without text returns at once.
    static void ThrowError(int id, const char* text = nullptr);

    // The program's directory, ending with its separator.
    static std::string GetModulePath();
    // The path up to and including its last '\\', '/' or ':'; empty when there is none.
    static std::string GetFilePath(const std::string& path);

    // Saturating conversion toward zero; NaN gives 0. File values reach integer
    // arithmetic through it, so no cast is ever undefined.
    static int ToInt(double value);
};

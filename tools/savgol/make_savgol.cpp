// make_savgol OUT: writes the Savitzky-Golay coefficient file. Five blocks of
// sixteen square matrices (odd widths 5 to 35) as little-endian float32:
// block 0 smooths, block d gives the d-th derivative per point index. Row r
// of the width-n matrix holds the weights that evaluate, at window position
// r, the least-squares polynomial through the n points of the window.
//
// Degrees: cubic for smoothing and the first and second derivatives; quintic
// for the third and fourth (quartic at width 5, where five points fix no more).

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using Real = long double;

int Degree(int deriv, int width)
{
    const int p = deriv <= 2 ? 3 : 5;
    return p < width ? p : width - 1;
}

// Weights for the deriv-th derivative at window position pos of a width-n
// window, fitted with a polynomial of degree p. The abscissa is centred and
// scaled to [-1, 1] so that the normal equations stay well conditioned.
std::vector<Real> Weights(int n, int p, int deriv, int pos)
{
    const int m = p + 1;
    const Real h = (n - 1) / 2.0L;
    std::vector<Real> A(static_cast<size_t>(n * m));
    for (int k = 0; k < n; ++k) {
        Real x = (k - h) / h, v = 1;
        for (int j = 0; j < m; ++j, v *= x)
            A[size_t(k * m + j)] = v;
    }
    // N = A'A, solved against A' by Gauss-Jordan with partial pivoting.
    std::vector<Real> N(size_t(m * m), 0), R(size_t(m * n), 0);
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < m; ++j)
            for (int k = 0; k < n; ++k)
                N[size_t(i * m + j)] += A[size_t(k * m + i)] * A[size_t(k * m + j)];
    for (int i = 0; i < m; ++i)
        for (int k = 0; k < n; ++k)
            R[size_t(i * n + k)] = A[size_t(k * m + i)];
    for (int c = 0; c < m; ++c) {
        int piv = c;
        for (int r = c + 1; r < m; ++r)
            if (std::fabs(N[size_t(r * m + c)]) > std::fabs(N[size_t(piv * m + c)]))
                piv = r;
        for (int j = 0; j < m; ++j)
            std::swap(N[size_t(c * m + j)], N[size_t(piv * m + j)]);
        for (int k = 0; k < n; ++k)
            std::swap(R[size_t(c * n + k)], R[size_t(piv * n + k)]);
        const Real d = N[size_t(c * m + c)];
        for (int j = 0; j < m; ++j)
            N[size_t(c * m + j)] /= d;
        for (int k = 0; k < n; ++k)
            R[size_t(c * n + k)] /= d;
        for (int r = 0; r < m; ++r) {
            if (r == c)
                continue;
            const Real f = N[size_t(r * m + c)];
            for (int j = 0; j < m; ++j)
                N[size_t(r * m + j)] -= f * N[size_t(c * m + j)];
            for (int k = 0; k < n; ++k)
                R[size_t(r * n + k)] -= f * R[size_t(c * n + k)];
        }
    }
    // Row j of R gives the coefficient of x^j; the derivative of x^j at x0,
    // rescaled from x to point units.
    const Real x0 = (pos - h) / h;
    std::vector<Real> w(size_t(n), 0);
    for (int j = deriv; j < m; ++j) {
        Real f = 1;
        for (int t = 0; t < deriv; ++t)
            f *= (j - t);
        f *= std::pow(x0, j - deriv) / std::pow(h, deriv);
        for (int k = 0; k < n; ++k)
            w[size_t(k)] += f * R[size_t(j * n + k)];
    }
    return w;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_savgol OUT\n");
        return 2;
    }
    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    for (int deriv = 0; deriv <= 4; ++deriv)
        for (int n = 5; n <= 35; n += 2)
            for (int r = 0; r < n; ++r)
                for (Real v : Weights(n, Degree(deriv, n), deriv, r)) {
                    const float x = static_cast<float>(static_cast<double>(v));
                    uint32_t u;
                    std::memcpy(&u, &x, 4);
                    const unsigned char b[4] = {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16),
                                                uint8_t(u >> 24)};
                    std::fwrite(b, 1, 4, f);
                }
    if (std::fclose(f) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}

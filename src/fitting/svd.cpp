#include "fitting/svd.hpp"

#include <cmath>

#include "core/arrays.hpp"
#include "platform/memory.hpp"

using masscal::core::array_data;

namespace {

double sign_of(double a, double b) { return b >= 0.0 ? std::fabs(a) : -std::fabs(a); }

// The arrays of both forms addressed with 1-based indices: the 1-based form
// uses them as they are, the 0-based form one element lower.
template <int Base>
struct View {
    static constexpr int kShift = 1 - Base;
    double** m;
    double& operator()(int i, int j) const { return m[i - kShift][j - kShift]; }
};

template <int Base>
struct Vec {
    static constexpr int kShift = 1 - Base;
    double* p;
    double& operator()(int i) const { return p[i - kShift]; }
};

// Golub-Reinsch on 1-based indices; rv1 is the superdiagonal (1..n).
template <int Base>
int32_t decompose(View<Base> a, int m, int n, Vec<Base> w, View<Base> v, double* rv1) {
    int l = 1;
    double g = 0.0, scale = 0.0, anorm = 0.0;
    // Householder reduction to bidiagonal form.
    for (int i = 1; i <= n; ++i) {
        l = i + 1;
        rv1[i] = scale * g;
        g = scale = 0.0;
        double s = 0.0;
        if (i <= m) {
            for (int k = i; k <= m; ++k) scale += std::fabs(a(k, i));
            if (scale != 0.0) {
                for (int k = i; k <= m; ++k) {
                    a(k, i) /= scale;
                    s += a(k, i) * a(k, i);
                }
                const double f = a(i, i);
                g = -sign_of(std::sqrt(s), f);
                const double h = f * g - s;
                a(i, i) = f - g;
                for (int j = l; j <= n; ++j) {
                    double t = 0.0;
                    for (int k = i; k <= m; ++k) t += a(k, i) * a(k, j);
                    const double ff = t / h;
                    for (int k = i; k <= m; ++k) a(k, j) += ff * a(k, i);
                }
                for (int k = i; k <= m; ++k) a(k, i) *= scale;
            }
        }
        w(i) = scale * g;
        g = s = scale = 0.0;
        if (i <= m && i != n) {
            for (int k = l; k <= n; ++k) scale += std::fabs(a(i, k));
            if (scale != 0.0) {
                for (int k = l; k <= n; ++k) {
                    a(i, k) /= scale;
                    s += a(i, k) * a(i, k);
                }
                const double f = a(i, l);
                g = -sign_of(std::sqrt(s), f);
                const double h = f * g - s;
                a(i, l) = f - g;
                for (int k = l; k <= n; ++k) rv1[k] = a(i, k) / h;
                for (int j = l; j <= m; ++j) {
                    double t = 0.0;
                    for (int k = l; k <= n; ++k) t += a(j, k) * a(i, k);
                    for (int k = l; k <= n; ++k) a(j, k) += t * rv1[k];
                }
                for (int k = l; k <= n; ++k) a(i, k) *= scale;
            }
        }
        const double here = std::fabs(w(i)) + std::fabs(rv1[i]);
        if (here > anorm) anorm = here;
    }
    // Accumulation of the right-hand transformations.
    for (int i = n; i >= 1; --i) {
        if (i < n) {
            if (g != 0.0) {
                // Two divisions rather than one product: avoids underflow.
                for (int j = l; j <= n; ++j) v(j, i) = (a(i, j) / a(i, l)) / g;
                for (int j = l; j <= n; ++j) {
                    double s = 0.0;
                    for (int k = l; k <= n; ++k) s += a(i, k) * v(k, j);
                    for (int k = l; k <= n; ++k) v(k, j) += s * v(k, i);
                }
            }
            for (int j = l; j <= n; ++j) v(i, j) = v(j, i) = 0.0;
        }
        v(i, i) = 1.0;
        g = rv1[i];
        l = i;
    }
    // Accumulation of the left-hand transformations (m >= n here).
    for (int i = n; i >= 1; --i) {
        l = i + 1;
        g = w(i);
        for (int j = l; j <= n; ++j) a(i, j) = 0.0;
        if (g != 0.0) {
            g = 1.0 / g;
            for (int j = l; j <= n; ++j) {
                double s = 0.0;
                for (int k = l; k <= m; ++k) s += a(k, i) * a(k, j);
                const double f = (s / a(i, i)) * g;
                for (int k = i; k <= m; ++k) a(k, j) += f * a(k, i);
            }
            for (int j = i; j <= m; ++j) a(j, i) *= g;
        } else {
            for (int j = i; j <= m; ++j) a(j, i) = 0.0;
        }
        a(i, i) += 1.0;
    }
    // Diagonalisation of the bidiagonal form: QR sweeps, last value first.
    for (int k = n; k >= 1; --k) {
        for (int its = 1; its <= 30; ++its) {
            bool cancel = true;
            int nm = 0;
            for (l = k; l >= 1; --l) {
                nm = l - 1;
                // rv1[1] is always zero, so the loop stops at l = 1 at the
                // latest and w(0) is never read.
                if (std::fabs(rv1[l]) + anorm == anorm) {
                    cancel = false;
                    break;
                }
                if (std::fabs(w(nm)) + anorm == anorm) break;
            }
            if (cancel) {
                // w(nm) is negligible: cancel rv1[l] by rotations.
                double c = 0.0, s = 1.0;
                for (int i = l; i <= k; ++i) {
                    const double f = s * rv1[i];
                    rv1[i] = c * rv1[i];
                    if (std::fabs(f) + anorm == anorm) break;
                    g = w(i);
                    double h = Hypotenuse(f, g);
                    w(i) = h;
                    h = 1.0 / h;
                    c = g * h;
                    s = -f * h;
                    for (int j = 1; j <= m; ++j) {
                        const double y = a(j, nm), z = a(j, i);
                        a(j, nm) = y * c + z * s;
                        a(j, i) = z * c - y * s;
                    }
                }
            }
            double z = w(k);
            if (l == k) {
                if (z < 0.0) {
                    w(k) = -z;
                    for (int j = 1; j <= n; ++j) v(j, k) = -v(j, k);
                }
                break;
            }
            if (its == 30) return -3;
            // Shift from the trailing 2 x 2 minor.
            double x = w(l);
            nm = k - 1;
            double y = w(nm);
            g = rv1[nm];
            double h = rv1[k];
            double f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0 * h * y);
            g = Hypotenuse(f, 1.0);
            f = ((x - z) * (x + z) + h * ((y / (f + sign_of(g, f))) - h)) / x;
            // Next QR transformation: a chase of Givens rotations.
            double c = 1.0, s = 1.0;
            for (int j = l; j <= nm; ++j) {
                const int i = j + 1;
                g = rv1[i];
                y = w(i);
                h = s * g;
                g = c * g;
                z = Hypotenuse(f, h);
                rv1[j] = z;
                c = f / z;
                s = h / z;
                f = x * c + g * s;
                g = g * c - x * s;
                h = y * s;
                y *= c;
                for (int jj = 1; jj <= n; ++jj) {
                    const double vx = v(jj, j), vz = v(jj, i);
                    v(jj, j) = vx * c + vz * s;
                    v(jj, i) = vz * c - vx * s;
                }
                z = Hypotenuse(f, h);
                w(j) = z;
                if (z != 0.0) {
                    z = 1.0 / z;
                    c = f * z;
                    s = h * z;
                }
                f = c * g + s * y;
                x = c * y - s * g;
                for (int jj = 1; jj <= m; ++jj) {
                    const double ay = a(jj, j), az = a(jj, i);
                    a(jj, j) = ay * c + az * s;
                    a(jj, i) = az * c - ay * s;
                }
            }
            rv1[l] = 0.0;
            rv1[k] = f;
            w(k) = x;
        }
    }
    return 0;
}

template <int Base>
void back_substitute(View<Base> u, Vec<Base> w, View<Base> v, int m, int n, Vec<Base> b, Vec<Base> x,
                     double* tmp) {
    for (int j = 1; j <= n; ++j) {
        double s = 0.0;
        if (w(j) != 0.0) {
            for (int i = 1; i <= m; ++i) s += u(i, j) * b(i);
            s /= w(j);
        }
        tmp[j] = s;
    }
    for (int j = 1; j <= n; ++j) {
        double s = 0.0;
        for (int jj = 1; jj <= n; ++jj) s += v(j, jj) * tmp[jj];
        x(j) = s;
    }
}

// The 0-based form takes its scratch from the heap; one element more so that
// it too can be indexed from 1.
double* heap_scratch(int32_t n) {
    return static_cast<double*>(masscal::platform::heap_alloc(static_cast<std::size_t>(n + 1) * sizeof(double)));
}

// Views of caller arrays that the algorithm only reads.
template <int Base>
View<Base> view(double* const* p) {
    return View<Base>{const_cast<double**>(p)};
}
template <int Base>
Vec<Base> vec(const double* p) {
    return Vec<Base>{const_cast<double*>(p)};
}

}  // namespace

double Hypotenuse(double a, double b) {
    const double absa = std::fabs(a), absb = std::fabs(b);
    if (absa > absb) {
        const double r = absb / absa;
        return absa * std::sqrt(1.0 + r * r);
    }
    if (absb == 0.0) return 0.0;
    const double r = absa / absb;
    return absb * std::sqrt(1.0 + r * r);
}

int32_t SvdDecompose(double** a, int32_t m, int32_t n, double* w, double** v) {
    if (m < n || n < 1) return CAL_ERR_BAD_EQUATIONS;
    CalArray scratch{};
    if (CalAllocVector(&scratch, n) != CAL_OK) return CAL_ERR_NO_MEMORY;
    const int32_t status = decompose(View<1>{a}, m, n, Vec<1>{w}, View<1>{v}, array_data<double>(scratch));
    CalFree(&scratch);
    return status;
}

int32_t SvdBackSubstitute(double* const* u, const double* w, double* const* v, int32_t m, int32_t n,
                          const double* b, double* x) {
    CalArray scratch{};
    if (n < 1 || CalAllocVector(&scratch, n) != CAL_OK) return CAL_ERR_NO_MEMORY;
    back_substitute(view<1>(u), vec<1>(w), view<1>(v), m, n, vec<1>(b), Vec<1>{x}, array_data<double>(scratch));
    CalFree(&scratch);
    return CAL_OK;
}

int32_t SvdDecompose0(double** a, int32_t m, int32_t n, double* w, double** v) {
    if (m < n || n < 1) return CAL_ERR_BAD_EQUATIONS;
    double* rv1 = heap_scratch(n);
    if (!rv1) return CAL_ERR_NO_MEMORY;
    const int32_t status = decompose(View<0>{a}, m, n, Vec<0>{w}, View<0>{v}, rv1);
    masscal::platform::heap_free(rv1);
    return status;
}

int32_t SvdBackSubstitute0(double* const* u, const double* w, double* const* v, int32_t m, int32_t n,
                           const double* b, double* x) {
    double* tmp = n < 1 ? nullptr : heap_scratch(n);
    if (!tmp) return CAL_ERR_NO_MEMORY;
    back_substitute(view<0>(u), vec<0>(w), view<0>(v), m, n, vec<0>(b), Vec<0>{x}, tmp);
    masscal::platform::heap_free(tmp);
    return CAL_OK;
}

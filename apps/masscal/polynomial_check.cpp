#include "polynomial_check.hpp"

#include <cctype>
#include <cstdlib>
#include <string>

namespace cli {
namespace {

class Scanner {
public:
    explicit Scanner(std::string_view t) : t_(t) {}

    void blanks() {
        while (p_ < t_.size() && (t_[p_] == ' ' || t_[p_] == '\t')) ++p_;
    }
    bool at_end() {
        blanks();
        return p_ == t_.size();
    }
    bool take(char c) {
        blanks();
        if (p_ < t_.size() && t_[p_] == c) {
            ++p_;
            return true;
        }
        return false;
    }
    // A decimal number with optional sign, fraction and exponent.
    bool number(double* value) {
        blanks();
        const std::size_t start = p_;
        if (p_ < t_.size() && (t_[p_] == '+' || t_[p_] == '-')) ++p_;
        const std::size_t digits = p_;
        while (p_ < t_.size() && std::isdigit(static_cast<unsigned char>(t_[p_]))) ++p_;
        bool any = p_ > digits;
        if (p_ < t_.size() && t_[p_] == '.') {
            ++p_;
            const std::size_t frac = p_;
            while (p_ < t_.size() && std::isdigit(static_cast<unsigned char>(t_[p_]))) ++p_;
            any = any || p_ > frac;
        }
        if (!any) return false;
        if (p_ < t_.size() && (t_[p_] == 'e' || t_[p_] == 'E')) {
            ++p_;
            if (p_ < t_.size() && (t_[p_] == '+' || t_[p_] == '-')) ++p_;
            const std::size_t exp = p_;
            while (p_ < t_.size() && std::isdigit(static_cast<unsigned char>(t_[p_]))) ++p_;
            if (p_ == exp) return false;
        }
        if (value) *value = std::strtod(std::string(t_.substr(start, p_ - start)).c_str(), nullptr);
        return true;
    }
    // "x^k" right after a coefficient.
    bool power(int k) {
        const std::string want = "x^" + std::to_string(k);
        if (t_.substr(p_, want.size()) != want) return false;
        p_ += want.size();
        return p_ == t_.size() || !std::isdigit(static_cast<unsigned char>(t_[p_]));
    }

private:
    std::string_view t_;
    std::size_t p_ = 0;
};

}  // namespace

bool is_polynomial_text(std::string_view text) {
    Scanner s(text);
    double type = 0, order = 0;
    if (!s.number(&type) || !s.number(&order)) return false;
    if (type != static_cast<int>(type) || order != static_cast<int>(order) || order < -1 || order > 5) return false;
    for (int k = 0; k <= static_cast<int>(order); ++k) {
        if (k > 0) s.take('+');
        if (!s.number(nullptr)) return false;
        if (k > 0 && !s.power(k)) return false;
    }
    return s.at_end();
}

}  // namespace cli

// A PDF as a reader sees it, through poppler's command-line tools: the
// words of a page with their boxes (pdftotext -bbox) and a page as a grey
// image (pdftoppm).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace masscal::testing {

struct PdfWord {
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;  // points from the top-left
    std::string text;
};

inline std::string run_output(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

inline double attribute(const std::string& tag, const char* name) {
    const std::string key = std::string(name) + "=\"";
    const std::size_t at = tag.find(key);
    return at == std::string::npos ? 0.0 : std::atof(tag.c_str() + at + key.size());
}

// The words of page (1-based); empty when the page or the file is missing.
inline std::vector<PdfWord> pdf_words(const std::string& pdf, int page) {
    const std::string xml = run_output("pdftotext -bbox -f " + std::to_string(page) + " -l " + std::to_string(page) +
                                       " '" + pdf + "' - 2>/dev/null");
    std::vector<PdfWord> words;
    for (std::size_t at = xml.find("<word "); at != std::string::npos; at = xml.find("<word ", at + 1)) {
        const std::size_t close = xml.find('>', at);
        const std::size_t end = xml.find("</word>", close);
        if (close == std::string::npos || end == std::string::npos) break;
        const std::string tag = xml.substr(at, close - at);
        words.push_back(PdfWord{attribute(tag, "xMin"), attribute(tag, "yMin"), attribute(tag, "xMax"),
                                attribute(tag, "yMax"), xml.substr(close + 1, end - close - 1)});
    }
    return words;
}

inline int pdf_page_count(const std::string& pdf) {
    const std::string info = run_output("pdfinfo '" + pdf + "' 2>/dev/null");
    const std::size_t at = info.find("Pages:");
    return at == std::string::npos ? 0 : std::atoi(info.c_str() + at + 6);
}

struct GreyImage {
    int width = 0, height = 0;
    std::vector<unsigned char> pixels;
    unsigned char at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Page (1-based) rendered at dpi; empty when it could not be rendered.
inline GreyImage pdf_page_image(const std::string& pdf, int page, int dpi, const std::string& scratch) {
    const std::string p = std::to_string(page);
    const std::string cmd = "pdftoppm -gray -r " + std::to_string(dpi) + " -f " + p + " -l " + p + " -singlefile '" +
                            pdf + "' '" + scratch + "' 2>/dev/null";
    GreyImage img;
    if (std::system(cmd.c_str()) != 0) return img;
    std::ifstream f(scratch + ".pgm", std::ios::binary);
    std::string magic;
    int maxval = 0;
    f >> magic >> img.width >> img.height >> maxval;
    f.get();
    if (magic != "P5" || img.width <= 0 || img.height <= 0 || maxval != 255) return GreyImage{};
    img.pixels.resize(static_cast<std::size_t>(img.width) * img.height);
    f.read(reinterpret_cast<char*>(img.pixels.data()), static_cast<std::streamsize>(img.pixels.size()));
    std::remove((scratch + ".pgm").c_str());
    return f ? img : GreyImage{};
}

}  // namespace masscal::testing

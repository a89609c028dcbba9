// How an mzML document lies in its file: the part before the spectra, each
// spectrum element, and the part after them. The reader and the rewriter
// walk the spectrum list once, element by element, so neither holds more
// than one spectrum; the parts around the list are parsed as one small
// document (the frame).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mzml/byte_source.hpp"

namespace masscal::dm {

// One element of the spectrum list.
struct ListElement {
    std::uint64_t begin = 0, end = 0;  // in the source: from '<' to past the end tag
    // The element with the contents of its binary elements left out: what
    // the XML parser is given, so that it never scans the encoded data.
    std::string skeleton;
    struct Cut {
        std::size_t at = 0;                  // in skeleton: where the content was
        std::uint64_t begin = 0, end = 0;    // the content, in the source
    };
    std::vector<Cut> cuts;  // in order
    std::string text;       // the whole element, when asked for

    // Where a position of the skeleton lies in the element's own text.
    std::size_t in_text(std::size_t skeletonAt) const;
};

class ListWalker {
public:
    explicit ListWalker(const ByteSource& source) : window_(source) {}

    // Finds the spectrum list. false with why when the source cannot be
    // read; found() is false when there is no spectrum list, and the frame
    // is then the whole document.
    bool start(std::string& why);
    bool found() const { return found_; }
    bool ended() const { return ended_; }  // the whole list is read (or it was empty)

    enum class Step { Element, End, Failed };
    // The next spectrum (whole: with its text), after the white space and
    // comments in gap; End at the end of the list, which also reads the rest
    // of the document into the frame.
    Step next(ListElement& out, bool whole, std::string& gap, std::string& why);

    // The document without its spectra: the text before the list's content
    // and the text from the list's end tag on.
    const std::string& frame() const { return frame_; }
    std::size_t head_size() const { return headSize_; }   // the part of frame before the list's content
    std::uint64_t tail_begin() const { return tailBegin_; }  // where the rest begins in the source

private:
    bool tag_end(std::uint64_t begin, std::uint64_t& end, bool& selfClosing, std::string& why);
    bool read_element(std::uint64_t begin, ListElement& out, bool whole, std::string& why);
    bool read_rest(std::uint64_t from, std::string& why);

    ByteWindow window_;
    std::string frame_;
    std::size_t headSize_ = 0;
    std::uint64_t cursor_ = 0, tailBegin_ = 0;
    bool found_ = false, ended_ = false;
};

// The decimal value of an attribute in a start tag's text, or -1.
std::int64_t attribute_number(std::string_view tag, std::string_view name);

}  // namespace masscal::dm

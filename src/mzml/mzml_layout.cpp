#include "mzml/mzml_layout.hpp"

#include <algorithm>
#include <cctype>

namespace masscal::dm {
namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
// After an element's name: what may follow it in a start or end tag.
bool ends_name(char c) { return is_space(c) || c == '>' || c == '/'; }

constexpr std::string_view kListTag = "<spectrumList";
constexpr std::string_view kElementTag = "<spectrum";
constexpr std::string_view kElementEnd = "</spectrum";
constexpr std::string_view kBinaryTag = "<binary";
constexpr std::string_view kBinaryEnd = "</binary";
constexpr std::size_t kPeek = 4096;

}  // namespace

std::size_t ListElement::in_text(std::size_t skeletonAt) const {
    std::size_t at = skeletonAt;
    for (const Cut& c : cuts) {
        if (c.at > skeletonAt) break;
        at += static_cast<std::size_t>(c.end - c.begin);
    }
    return at;
}

std::int64_t attribute_number(std::string_view tag, std::string_view name) {
    for (std::size_t at = tag.find(name); at != std::string_view::npos; at = tag.find(name, at + 1)) {
        if (at == 0 || !is_space(tag[at - 1])) continue;
        std::size_t i = at + name.size();
        while (i < tag.size() && is_space(tag[i])) ++i;
        if (i >= tag.size() || tag[i] != '=') continue;
        ++i;
        while (i < tag.size() && is_space(tag[i])) ++i;
        if (i >= tag.size() || (tag[i] != '"' && tag[i] != '\'')) return -1;
        const char quote = tag[i++];
        std::int64_t v = 0;
        const std::size_t first = i;
        for (; i < tag.size() && std::isdigit(static_cast<unsigned char>(tag[i])); ++i) {
            if (v > (INT64_MAX - 9) / 10) return -1;
            v = v * 10 + (tag[i] - '0');
        }
        return i > first && i < tag.size() && tag[i] == quote ? v : -1;
    }
    return -1;
}

bool ListWalker::tag_end(std::uint64_t begin, std::uint64_t& end, bool& selfClosing, std::string& why) {
    char quote = 0, last = 0;
    for (std::uint64_t pos = begin;;) {
        const std::string_view v = window_.bytes(pos, pos + kPeek);
        if (v.empty()) {
            why = window_.failed() ? "cannot be read" : "the file ends inside a tag";
            return false;
        }
        for (std::size_t i = 0; i < v.size(); ++i) {
            const char c = v[i];
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                end = pos + i + 1;
                selfClosing = last == '/';
                return true;
            }
            last = c;
        }
        pos += v.size();
    }
}

bool ListWalker::read_rest(std::uint64_t from, std::string& why) {
    const std::uint64_t size = window_.size();
    if (from < size) {
        const std::string_view rest = window_.bytes(from, size);
        if (rest.size() != size - from) {
            why = "cannot be read";
            return false;
        }
        frame_.append(rest);
    }
    return true;
}

bool ListWalker::start(std::string& why) {
    frame_.clear();
    std::uint64_t at = 0, from = 0;
    for (;;) {
        if (!window_.find(kListTag, from, at)) {
            if (window_.failed()) {
                why = "cannot be read";
                return false;
            }
            found_ = false;
            return read_rest(0, why);
        }
        const std::string_view next = window_.bytes(at + kListTag.size(), at + kListTag.size() + 1);
        if (!next.empty() && ends_name(next[0])) break;
        from = at + 1;
    }
    std::uint64_t end = 0;
    bool selfClosing = false;
    if (!tag_end(at, end, selfClosing, why)) return false;
    const std::string_view head = window_.bytes(0, end);
    if (head.size() != end) {
        why = "cannot be read";
        return false;
    }
    frame_.assign(head);
    headSize_ = frame_.size();
    found_ = true;
    cursor_ = tailBegin_ = end;
    if (selfClosing) {
        ended_ = true;
        return read_rest(end, why);
    }
    return true;
}

ListWalker::Step ListWalker::next(ListElement& out, bool whole, std::string& gap, std::string& why) {
    gap.clear();
    if (!found_ || ended_) return Step::End;
    for (;;) {
        const std::string_view v = window_.bytes(cursor_, cursor_ + kPeek);
        if (v.empty()) {
            why = window_.failed() ? "cannot be read" : "the file ends inside the spectrum list";
            return Step::Failed;
        }
        std::size_t blank = 0;
        while (blank < v.size() && is_space(v[blank])) ++blank;
        gap.append(v.substr(0, blank));
        cursor_ += blank;
        if (blank == v.size()) continue;
        const std::string_view rest = v.substr(blank);
        if (rest.size() < kListTag.size() + 2 && cursor_ + rest.size() < window_.size()) continue;  // read on
        if (rest.substr(0, 4) == "<!--") {
            std::uint64_t close = 0;
            if (!window_.find("-->", cursor_ + 4, close)) {
                why = window_.failed() ? "cannot be read" : "the file ends inside a comment";
                return Step::Failed;
            }
            gap.append(window_.bytes(cursor_, close + 3));
            cursor_ = close + 3;
            continue;
        }
        if (rest.substr(0, kListTag.size() + 1) == "</spectrumList") {
            tailBegin_ = cursor_;
            ended_ = true;
            return read_rest(cursor_, why) ? Step::End : Step::Failed;
        }
        if (rest.size() > kElementTag.size() && rest.substr(0, kElementTag.size()) == kElementTag &&
            ends_name(rest[kElementTag.size()])) {
            if (!read_element(cursor_, out, whole, why)) return Step::Failed;
            cursor_ = out.end;
            return Step::Element;
        }
        why = "unexpected text in the spectrum list at byte " + std::to_string(cursor_);
        return Step::Failed;
    }
}

bool ListWalker::read_element(std::uint64_t begin, ListElement& out, bool whole, std::string& why) {
    out.begin = begin;
    out.skeleton.clear();
    out.cuts.clear();
    out.text.clear();
    const auto ends_inside = [&]() {
        why = window_.failed() ? "cannot be read" : "the file ends inside a spectrum";
        return false;
    };
    const auto take = [&](std::uint64_t from, std::uint64_t to) {
        const std::string_view piece = window_.bytes(from, to);
        out.skeleton.append(piece);
        return piece.size() == to - from;
    };
    std::uint64_t pos = 0;
    bool selfClosing = false;
    if (!tag_end(begin, pos, selfClosing, why)) return false;
    if (!take(begin, pos)) return ends_inside();
    while (!selfClosing) {
        std::uint64_t binary = 0, close = 0;
        const bool haveBinary = window_.find(kBinaryTag, pos, binary);
        if (window_.failed()) return ends_inside();
        if (window_.find(kElementEnd, pos, close, haveBinary ? binary : UINT64_MAX)) {
            if (!take(pos, close)) return ends_inside();
            const std::string_view after = window_.bytes(close + kElementEnd.size(), close + kElementEnd.size() + 1);
            if (after.empty() || !ends_name(after[0])) {
                why = "a spectrum is not closed before byte " + std::to_string(close);
                return false;
            }
            bool ignored = false;
            if (!tag_end(close, pos, ignored, why) || !take(close, pos)) return ends_inside();
            break;
        }
        if (!haveBinary) return ends_inside();
        if (!take(pos, binary)) return ends_inside();
        pos = binary;
        const std::string_view next = window_.bytes(binary + kBinaryTag.size(), binary + kBinaryTag.size() + 1);
        if (next.empty()) return ends_inside();
        if (!ends_name(next[0])) {  // binaryDataArray and its list
            if (!take(pos, pos + kBinaryTag.size())) return ends_inside();
            pos += kBinaryTag.size();
            continue;
        }
        bool empty = false;
        if (!tag_end(binary, pos, empty, why) || !take(binary, pos)) return ends_inside();
        if (empty) continue;
        // The array's encodedLength says where the data end; it is trusted
        // only when the end tag is found there.
        std::uint64_t contentEnd = 0;
        bool known = false;
        const std::size_t array = out.skeleton.rfind("<binaryDataArray");
        if (array != std::string::npos) {
            const std::size_t tagClose = out.skeleton.find('>', array);
            const std::int64_t length =
                attribute_number(std::string_view(out.skeleton).substr(array, tagClose - array), "encodedLength");
            if (length >= 0) {
                const std::uint64_t guess = pos + static_cast<std::uint64_t>(length);
                known = window_.bytes(guess, guess + kBinaryEnd.size()) == kBinaryEnd;
                if (known) contentEnd = guess;
            }
        }
        if (!known && !window_.find(kBinaryEnd, pos, contentEnd)) return ends_inside();
        out.cuts.push_back({out.skeleton.size(), pos, contentEnd});
        pos = contentEnd;
    }
    out.end = pos;
    if (whole && (!window_.source().read(begin, static_cast<std::size_t>(pos - begin), out.text) ||
                  out.text.size() != pos - begin))
        return ends_inside();
    return true;
}

}  // namespace masscal::dm

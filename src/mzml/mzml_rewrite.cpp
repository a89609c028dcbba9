#include "mzml/mzml_rewrite.hpp"

#include <pugixml.hpp>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "formats/text_number.hpp"
#include "mzml/binary_array.hpp"
#include "mzml/mzml_terms.hpp"
#include "mzml/gzip_text.hpp"
#include "suite/fileaccess/file_identity.hpp"
#include "suite/utility/sha1.hpp"

namespace masscal::dm {
namespace {

constexpr std::string_view kFloat64Name = "64-bit float";
constexpr std::size_t kDigestLength = 40;

struct Failure {
    std::string text;
};

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

struct Attribute {
    std::string_view name;
    std::size_t valueBegin = 0, valueEnd = 0;  // inside the quotes
};

// A start tag in the original text: [begin, end) from '<' to past '>'.
struct StartTag {
    std::size_t begin = 0, end = 0;
    bool selfClosing = false;
    std::vector<Attribute> attributes;

    const Attribute* find(std::string_view name) const {
        for (const Attribute& a : attributes)
            if (a.name == name) return &a;
        return nullptr;
    }
};

// One replaced span of the original text.
struct Edit {
    std::size_t begin, end;
    std::string text;
};

class Rewriter {
public:
    Rewriter(std::string_view text, const ArrayMapping& map, const SpectrumFilter& wanted)
        : text_(text), map_(map), wanted_(wanted) {}
    std::string run(std::size_t& rewritten);

private:
    [[noreturn]] void fail(std::string why) const { throw Failure{std::move(why)}; }

    StartTag start_tag(pugi::xml_node node) const;
    // The text between a start tag and its end tag, which must be plain text.
    std::pair<std::size_t, std::size_t> plain_content(const StartTag& tag, std::string_view name,
                                                      const std::string& where) const;
    void replace_content(const StartTag& tag, std::string_view name, std::string value, const std::string& where);

    pugi::xml_node find_cv(pugi::xml_node node, const char* accession) const;
    bool has_cv(pugi::xml_node node, const char* accession) const { return static_cast<bool>(find_cv(node, accession)); }
    bool rewrite_spectrum(pugi::xml_node spectrum, std::size_t ordinal);
    void rewrite_index(pugi::xml_node root, pugi::xml_node mzml);
    std::size_t moved(std::size_t pos) const;

    std::string_view text_;
    const ArrayMapping& map_;
    const SpectrumFilter& wanted_;
    pugi::xml_document doc_;
    std::unique_ptr<char[]> buffer_;
    ParamGroups groups_;
    std::map<std::string, std::size_t, std::less<>> spectrumAt_, chromatogramAt_;
    std::vector<Edit> edits_;
    // Where the checksum's start tag ends in the original text (at its "/>"
    // when it was self-closing); SIZE_MAX without one.
    std::size_t checksumAt_ = SIZE_MAX;
    bool checksumWasEmpty_ = false;
};

StartTag Rewriter::start_tag(pugi::xml_node node) const {
    const std::string_view name = node.name();
    const std::ptrdiff_t offset = node.offset_debug();
    if (offset < 1 || static_cast<std::size_t>(offset) >= text_.size())
        fail(std::string("the element ") + node.name() + " cannot be located");
    StartTag tag;
    tag.begin = static_cast<std::size_t>(offset) - 1;
    const std::string_view t = text_;
    std::size_t i = tag.begin + 1;
    if (t[tag.begin] != '<' || t.substr(i, name.size()) != name)
        fail(std::string("the element ") + node.name() + " cannot be located");
    i += name.size();
    // Well-formedness is already known; these checks keep a mismatch between
    // the parser's view and the text from reading past the end.
    for (;;) {
        const std::size_t before = i;
        while (i < t.size() && is_space(t[i])) ++i;
        if (i >= t.size()) break;
        if (t[i] == '>') {
            tag.end = i + 1;
            return tag;
        }
        if (t[i] == '/') {
            if (i + 1 < t.size() && t[i + 1] == '>') {
                tag.selfClosing = true;
                tag.end = i + 2;
                return tag;
            }
            break;
        }
        if (i == before) break;  // an attribute must follow white space
        const std::size_t nameBegin = i;
        while (i < t.size() && !is_space(t[i]) && t[i] != '=' && t[i] != '>' && t[i] != '/') ++i;
        Attribute a;
        a.name = t.substr(nameBegin, i - nameBegin);
        while (i < t.size() && is_space(t[i])) ++i;
        if (a.name.empty() || i >= t.size() || t[i] != '=') break;
        ++i;
        while (i < t.size() && is_space(t[i])) ++i;
        if (i >= t.size() || (t[i] != '"' && t[i] != '\'')) break;
        const std::size_t close = t.find(t[i], i + 1);
        if (close == std::string_view::npos) break;
        a.valueBegin = i + 1;
        a.valueEnd = close;
        tag.attributes.push_back(a);
        i = close + 1;
    }
    fail(std::string("the start tag of ") + node.name() + " cannot be read");
}

std::pair<std::size_t, std::size_t> Rewriter::plain_content(const StartTag& tag, std::string_view name,
                                                            const std::string& where) const {
    if (tag.selfClosing) return {tag.end, tag.end};
    const std::size_t lt = text_.find('<', tag.end);
    const std::string close = "</" + std::string(name);
    if (lt == std::string_view::npos || text_.substr(lt, close.size()) != close ||
        text_.substr(tag.end, lt - tag.end).find('&') != std::string_view::npos)
        fail(where + "the " + std::string(name) + " element holds more than plain text");
    return {tag.end, lt};
}

void Rewriter::replace_content(const StartTag& tag, std::string_view name, std::string value,
                               const std::string& where) {
    if (tag.selfClosing) {
        edits_.push_back({tag.end - 2, tag.end, ">" + value + "</" + std::string(name) + ">"});
        return;
    }
    const auto [begin, end] = plain_content(tag, name, where);
    edits_.push_back({begin, end, std::move(value)});
}

pugi::xml_node Rewriter::find_cv(pugi::xml_node node, const char* accession) const {
    return find_cv_param(node, groups_, accession);
}

bool Rewriter::rewrite_spectrum(pugi::xml_node sp, std::size_t ordinal) {
    const std::string where = std::string("spectrum '") + sp.attribute("id").value() + "': ";
    pugi::xml_node mz;
    for (pugi::xml_node a : sp.child("binaryDataArrayList").children("binaryDataArray")) {
        if (!has_cv(a, kMzArray)) continue;
        if (mz) fail(where + "more than one m/z array");
        mz = a;
    }
    if (!mz) return false;

    std::int64_t length = -1;
    if (pugi::xml_attribute a = sp.attribute("defaultArrayLength"))
        if (!parse_int64(a.value(), length) || length < 0) fail(where + "bad defaultArrayLength '" + a.value() + "'");
    if (pugi::xml_attribute a = mz.attribute("arrayLength"))
        if (!parse_int64(a.value(), length) || length < 0) fail(where + "bad arrayLength '" + a.value() + "'");
    if (length < 0) fail(where + "the m/z array has no length");
    if (length == 0) return false;  // nothing to calibrate; left exactly as it is

    // The number type: a term on the array itself can be replaced; one taken
    // from a parameter group is shared with whatever else names the group.
    struct TypeTerm {
        pugi::xml_node node;
        NumberType type;
        std::string group;  // empty when on the array itself
    };
    std::vector<TypeTerm> terms;
    auto collect = [&](pugi::xml_node holder, const std::string& group) {
        for (pugi::xml_node c : holder.children("cvParam")) {
            const char* acc = c.attribute("accession").value();
            if (std::strcmp(acc, kFloat64) == 0) terms.push_back({c, NumberType::Float64, group});
            else if (std::strcmp(acc, kFloat32) == 0) terms.push_back({c, NumberType::Float32, group});
            else if (std::strcmp(acc, kInt32) == 0) terms.push_back({c, NumberType::Int32, group});
            else if (std::strcmp(acc, kInt64) == 0) terms.push_back({c, NumberType::Int64, group});
        }
    };
    collect(mz, "");
    for (pugi::xml_node r : mz.children("referenceableParamGroupRef")) {
        auto it = groups_.find(r.attribute("ref").value());
        if (it != groups_.end()) collect(it->second, it->first);
    }
    if (terms.empty()) fail(where + "the number type of the m/z array is missing or not supported");
    const NumberType type = terms.front().type;
    for (const TypeTerm& t : terms)
        if (t.type != type) fail(where + "the m/z array names more than one number type");
    if (type != NumberType::Float64)
        for (const TypeTerm& t : terms)
            if (!t.group.empty())
                fail(where + "the number type of the m/z array comes from the parameter group '" + t.group +
                     "', which other arrays may share; it cannot be changed to 64-bit float");

    for (const char* acc : kOtherCompressionTerms)
        if (has_cv(mz, acc)) fail(where + "the compression of the m/z array is not supported (only zlib or none)");
    const bool zlib = has_cv(mz, kZlib);

    pugi::xml_node binary = mz.child("binary");
    if (!binary) fail(where + "the m/z array has no binary element");
    const StartTag binaryTag = start_tag(binary);
    const auto [dataBegin, dataEnd] = plain_content(binaryTag, "binary", where);

    std::vector<double> values;
    std::string why;
    if (!decode_number_array(text_.substr(dataBegin, dataEnd - dataBegin), zlib, type,
                             static_cast<std::size_t>(length), values, why))
        fail(where + "m/z array does not decode: " + why);
    const std::size_t count = values.size();
    map_(ordinal, values);
    if (values.size() != count) fail(where + "the m/z array changed its length");
    for (std::size_t i = 0; i < values.size(); ++i)
        if (!std::isfinite(values[i]))
            fail(where + "m/z value " + std::to_string(i + 1) + " does not map to a finite number");
    std::string encoded;
    if (!encode_double_array(values, zlib, encoded, why)) fail(where + "m/z array: " + why);

    const StartTag arrayTag = start_tag(mz);
    if (const Attribute* a = arrayTag.find("encodedLength"))
        edits_.push_back({a->valueBegin, a->valueEnd, std::to_string(encoded.size())});
    if (binaryTag.selfClosing) edits_.push_back({binaryTag.end - 2, binaryTag.end, ">" + encoded + "</binary>"});
    else edits_.push_back({dataBegin, dataEnd, std::move(encoded)});

    if (type != NumberType::Float64) {
        for (const TypeTerm& t : terms) {
            // The term's own start tag with its accession and name replaced;
            // everything else in it (cvRef, quotes, spacing) is kept.
            const StartTag tag = start_tag(t.node);
            const Attribute* acc = tag.find("accession");
            const Attribute* name = tag.find("name");
            if (!acc) fail(where + "the number type of the m/z array cannot be read");
            struct Change {
                std::size_t at, length;
                std::string text;
            };
            std::vector<Change> changes{{acc->valueBegin, acc->valueEnd - acc->valueBegin, kFloat64}};
            if (name) changes.push_back({name->valueBegin, name->valueEnd - name->valueBegin, std::string(kFloat64Name)});
            else changes.push_back({acc->valueEnd + 1, 0, std::string(" name=") + text_[acc->valueEnd] +
                                                              std::string(kFloat64Name) + text_[acc->valueEnd]});
            std::sort(changes.begin(), changes.end(), [](const Change& a, const Change& b) { return a.at > b.at; });
            std::string s(text_.substr(tag.begin, tag.end - tag.begin));
            for (const Change& c : changes) s.replace(c.at - tag.begin, c.length, c.text);
            edits_.push_back({tag.begin, tag.end, std::move(s)});
        }
    }
    return true;
}

// Where an original position lies in the rewritten text, counting the
// edits that end at or before it.
std::size_t Rewriter::moved(std::size_t pos) const {
    std::size_t p = pos;
    for (const Edit& e : edits_) {
        if (e.end > pos) continue;
        p = p + e.text.size() - (e.end - e.begin);
    }
    return p;
}

void Rewriter::rewrite_index(pugi::xml_node root, pugi::xml_node mzml) {
    pugi::xml_node list = root.child("indexList");
    pugi::xml_node listOffset = root.child("indexListOffset");
    pugi::xml_node checksum = root.child("fileChecksum");
    const std::size_t mzmlAt = start_tag(mzml).begin;
    const StartTag listTag = list ? start_tag(list) : StartTag{};
    const StartTag offsetTag = list && listOffset ? start_tag(listOffset) : StartTag{};
    const StartTag checksumTag = checksum ? start_tag(checksum) : StartTag{};
    // Offsets are only well defined when each part follows the one it
    // depends on.
    if ((list && listTag.begin < mzmlAt) || (list && listOffset && offsetTag.begin < listTag.begin) ||
        (checksum && checksumTag.begin < std::max({mzmlAt, listTag.begin, offsetTag.begin})))
        fail("the index is not in its place after the mzML element");

    // Array edits all lie inside mzML, before everything changed here. A
    // position moves by the size changes of the edits that end at or before
    // it: prefix sums over the edits in order of their ends.
    std::vector<std::pair<std::size_t, std::size_t>> shifts;  // end, sum of changes up to it (mod 2^64)
    shifts.reserve(edits_.size());
    for (const Edit& e : edits_) shifts.emplace_back(e.end, e.text.size() - (e.end - e.begin));
    std::sort(shifts.begin(), shifts.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t k = 1; k < shifts.size(); ++k) shifts[k].second += shifts[k - 1].second;
    const auto moved = [&shifts](std::size_t at) {
        const auto past = std::upper_bound(shifts.begin(), shifts.end(), at,
                                           [](std::size_t v, const auto& e) { return v < e.first; });
        return past == shifts.begin() ? at : at + std::prev(past)->second;
    };
    if (list) {
        for (pugi::xml_node index : list.children("index")) {
            const std::string_view kind = index.attribute("name").value();
            const auto& at = kind == "spectrum" ? spectrumAt_ : chromatogramAt_;
            if (kind != "spectrum" && kind != "chromatogram")
                fail("the index '" + std::string(kind) + "' is neither of spectra nor of chromatograms");
            for (pugi::xml_node off : index.children("offset")) {
                const std::string_view ref = off.attribute("idRef").value();
                auto it = at.find(ref);
                if (it == at.end()) fail("the index names " + std::string(kind) + " '" + std::string(ref) + "', which is not there");
                replace_content(start_tag(off), "offset", std::to_string(moved(it->second)), "");
            }
        }
        if (listOffset) {
            replace_content(offsetTag, "indexListOffset", std::to_string(moved(listTag.begin)), "");
        }
    }
    if (checksum) {
        replace_content(checksumTag, "fileChecksum", std::string(kDigestLength, '0'), "");
        checksumAt_ = checksumTag.selfClosing ? checksumTag.end - 2 : checksumTag.end;
        checksumWasEmpty_ = checksumTag.selfClosing;
    }
}

std::string Rewriter::run(std::size_t& rewritten) {
    buffer_ = std::make_unique<char[]>(text_.size() + 1);
    if (!text_.empty()) std::memcpy(buffer_.get(), text_.data(), text_.size());
    // UTF-8 only: positions in the parsed buffer must be positions in the text.
    pugi::xml_parse_result res =
        doc_.load_buffer_inplace(buffer_.get(), text_.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!res)
        fail(std::string("not an mzML document (not well-formed XML: ") + res.description() + " at byte " +
             std::to_string(res.offset) + ")");
    pugi::xml_node root = doc_.child("indexedmzML");
    pugi::xml_node mzml = root ? root.child("mzML") : doc_.child("mzML");
    if (!mzml) fail("not an mzML document (no mzML element)");
    for (pugi::xml_node g : mzml.child("referenceableParamGroupList").children("referenceableParamGroup"))
        groups_.emplace(g.attribute("id").value(), g);
    pugi::xml_node run = mzml.child("run");
    if (!run) fail("not an mzML document (no run)");

    rewritten = 0;
    std::size_t ordinal = 0;
    for (pugi::xml_node sp : run.child("spectrumList").children("spectrum")) {
        spectrumAt_.emplace(sp.attribute("id").value(), start_tag(sp).begin);
        const bool wanted = !wanted_ || wanted_(ordinal);
        if (wanted && rewrite_spectrum(sp, ordinal)) ++rewritten;
        ++ordinal;
    }
    if (root) {
        for (pugi::xml_node ch : run.child("chromatogramList").children("chromatogram"))
            chromatogramAt_.emplace(ch.attribute("id").value(), start_tag(ch).begin);
        rewrite_index(root, mzml);
    }

    std::sort(edits_.begin(), edits_.end(), [](const Edit& a, const Edit& b) { return a.begin < b.begin; });
    std::size_t size = text_.size();
    for (std::size_t i = 0; i < edits_.size(); ++i) {
        if (i && edits_[i].begin < edits_[i - 1].end) fail("the document's parts overlap and cannot be rewritten");
        size = size - (edits_[i].end - edits_[i].begin) + edits_[i].text.size();
    }
    std::string out;
    out.reserve(size);
    std::size_t from = 0;
    for (const Edit& e : edits_) {
        out.append(text_.substr(from, e.begin - from));
        out.append(e.text);
        from = e.end;
    }
    out.append(text_.substr(from));
    if (checksumAt_ != SIZE_MAX) {
        // The digest covers the text up to and including the checksum's start
        // tag; a self-closing one became <fileChecksum>.
        const std::size_t end = moved(checksumAt_) + (checksumWasEmpty_ ? 1 : 0);
        const std::string digest = suite::sha1_hex(std::string_view(out).substr(0, end));
        out.replace(end, kDigestLength, digest);
    }
    return out;
}

}  // namespace

bool rewrite_mzml(std::string_view text, const MassMapping& map, std::string& out, std::size_t& rewritten,
                  std::string& error, const SpectrumFilter& wanted) {
    const ArrayMapping each = [&map](std::size_t, std::vector<double>& mz) {
        for (double& v : mz) v = map(v);
    };
    return rewrite_mzml(text, each, out, rewritten, error, wanted);
}

bool rewrite_mzml(std::string_view text, const ArrayMapping& map, std::string& out, std::size_t& rewritten,
                  std::string& error, const SpectrumFilter& wanted) {
    rewritten = 0;
    try {
        Rewriter r(text, map, wanted);
        out = r.run(rewritten);
        return true;
    } catch (const Failure& f) {
        error = f.text;
        return false;
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return false;
    }
}

namespace {
// strerror's text for a saved error number.
std::string reason(int err) { return err ? std::strerror(err) : "it cannot be written"; }
}  // namespace

bool rewrite_mzml_file(const std::string& in, const std::string& out, const ArrayMapping& map,
                       std::size_t& rewritten, std::string& error, const SpectrumFilter& wanted) {
    namespace sfs = masscal::suite::fs;
    rewritten = 0;
    try {
        std::string text;
        sfs::FileIdentity id;
        errno = 0;
        if (!sfs::read_file(in, std::numeric_limits<std::size_t>::max(), &text, &id)) {
            error = in + ": cannot be read: " + reason(errno);
            return false;
        }
        if (!id.exists) {
            error = in + ": cannot be read: " + std::strerror(ENOENT);
            return false;
        }
        std::string why;
        if (is_gzip(text)) {
            std::string plain;
            if (!gunzip_text(text, plain, why)) {
                error = in + ": " + why;
                return false;
            }
            text.swap(plain);
        }
        std::string copy;
        if (!rewrite_mzml(text, map, copy, rewritten, why, wanted)) {
            error = in + ": " + why;
            return false;
        }
        text.clear();
        text.shrink_to_fit();
        if (out.size() > 3 && out.compare(out.size() - 3, 3, ".gz") == 0) {
            std::string packed;
            if (!gzip_text(copy, packed, why)) {
                error = "cannot write " + out + ": " + why;
                return false;
            }
            copy.swap(packed);
        }
        errno = 0;
        if (!sfs::replace_file(out, copy, nullptr)) {
            error = "cannot write " + out + ": " + reason(errno);
            return false;
        }
        return true;
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return false;
    }
}

}  // namespace masscal::dm

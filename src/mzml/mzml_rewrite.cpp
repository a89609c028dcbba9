#include "mzml/mzml_rewrite.hpp"

#include <pugixml.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <future>
#include <map>
#include <thread>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "formats/text_number.hpp"
#include "mzml/binary_array.hpp"
#include "mzml/byte_source.hpp"
#include "mzml/gzip_text.hpp"
#include "mzml/mzml_layout.hpp"
#include "mzml/mzml_terms.hpp"
#include "mzml/output_sink.hpp"
#include "suite/utility/sha1.hpp"

namespace masscal::dm {
namespace {

constexpr std::string_view kFloat64Name = "64-bit float";
constexpr std::size_t kDigestLength = 40;
// Spectra read before they are rewritten together, and the threads that do it.
constexpr std::size_t kBatch = 16;
constexpr std::size_t kMaxThreads = 4;

struct Failure {
    std::string text;
};

// A failure of the output, whose message names the output.
struct WriteFailure {
    std::string text;
};

[[noreturn]] void fail(std::string why) { throw Failure{std::move(why)}; }

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

// A piece of the document being rewritten: its text, the parse of its
// skeleton (the text without the encoded data of its arrays), and the edits
// made to it.
class Part {
public:
    // element: how the skeleton's positions map to the text; null when the
    // skeleton is the text.
    Part(std::string_view text, const ListElement* element) : text_(text), element_(element) {}

    StartTag start_tag(pugi::xml_node node) const;
    // The text between a start tag and its end tag, which must be plain text.
    std::pair<std::size_t, std::size_t> plain_content(const StartTag& tag, std::string_view name,
                                                      const std::string& where) const;
    void replace_content(const StartTag& tag, std::string_view name, std::string value, const std::string& where);
    void edit(std::size_t begin, std::size_t end, std::string text) { edits_.push_back({begin, end, std::move(text)}); }
    std::string_view text() const { return text_; }
    const std::vector<Edit>& edits() const { return edits_; }
    // The text with the edits made; at[i] receives where the i-th edit (in
    // the order made) begins in it.
    std::string result(std::vector<std::size_t>* at = nullptr) const {
        std::string out;
        result(out, at);
        return out;
    }
    void result(std::string& out, std::vector<std::size_t>* at = nullptr) const;

private:
    std::string_view text_;
    const ListElement* element_;
    std::vector<Edit> edits_;
};

StartTag Part::start_tag(pugi::xml_node node) const {
    const std::string_view name = node.name();
    const std::ptrdiff_t offset = node.offset_debug();
    if (offset < 1)
        fail(std::string("the element ") + node.name() + " cannot be located");
    StartTag tag;
    tag.begin = static_cast<std::size_t>(offset) - 1;
    if (element_) tag.begin = element_->in_text(tag.begin);
    if (tag.begin >= text_.size()) fail(std::string("the element ") + node.name() + " cannot be located");
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

std::pair<std::size_t, std::size_t> Part::plain_content(const StartTag& tag, std::string_view name,
                                                            const std::string& where) const {
    if (tag.selfClosing) return {tag.end, tag.end};
    const std::size_t lt = text_.find('<', tag.end);
    const std::string close = "</" + std::string(name);
    if (lt == std::string_view::npos || text_.substr(lt, close.size()) != close ||
        text_.substr(tag.end, lt - tag.end).find('&') != std::string_view::npos)
        fail(where + "the " + std::string(name) + " element holds more than plain text");
    return {tag.end, lt};
}

void Part::replace_content(const StartTag& tag, std::string_view name, std::string value,
                               const std::string& where) {
    if (tag.selfClosing) {
        edits_.push_back({tag.end - 2, tag.end, ">" + value + "</" + std::string(name) + ">"});
        return;
    }
    const auto [begin, end] = plain_content(tag, name, where);
    edits_.push_back({begin, end, std::move(value)});
}

void Part::result(std::string& out, std::vector<std::size_t>* at) const {
    std::vector<std::size_t> order(edits_.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) { return edits_[a].begin < edits_[b].begin; });
    std::size_t size = text_.size();
    for (std::size_t k = 0; k < order.size(); ++k) {
        const Edit& e = edits_[order[k]];
        if (k && e.begin < edits_[order[k - 1]].end) fail("the document's parts overlap and cannot be rewritten");
        size = size - (e.end - e.begin) + e.text.size();
    }
    if (at) at->assign(edits_.size(), 0);
    out.clear();
    out.reserve(size);
    std::size_t from = 0;
    for (std::size_t i : order) {
        const Edit& e = edits_[i];
        out.append(text_.substr(from, e.begin - from));
        if (at) (*at)[i] = out.size();
        out.append(e.text);
        from = e.end;
    }
    out.append(text_.substr(from));
}

class Rewriter {
public:
    Rewriter(const ByteSource& source, OutputSink& sink, const ArrayMapping& map, const SpectrumFilter& wanted)
        : source_(source), sink_(sink), map_(map), wanted_(wanted) {}
    void run(std::size_t& rewritten);

private:
    pugi::xml_node find_cv(pugi::xml_node node, const char* accession) const {
        return find_cv_param(node, groups_, accession);
    }
    bool has_cv(pugi::xml_node node, const char* accession) const { return static_cast<bool>(find_cv(node, accession)); }
    // One spectrum, read whole, and what becomes of it.
    struct Job {
        ListElement element;
        std::string gap;  // what lies before it
        std::size_t ordinal = 0;
        pugi::xml_document doc;
        std::string id, copy, failure;
        std::vector<double> values;
        ArrayCodec codec;
        bool rewritten = false;
    };
    bool rewrite_spectrum(Part& part, pugi::xml_node spectrum, std::size_t ordinal, std::vector<double>& values,
                          ArrayCodec& codec) const;
    void rewrite_job(Job& job) const;
    // Edits of the frame's index; returns the edit of the checksum, or -1.
    long rewrite_index(Part& frame, pugi::xml_node root, pugi::xml_node mzml, std::size_t headSize,
                       std::uint64_t tailOut);
    void write(std::string_view bytes);

    const ByteSource& source_;
    OutputSink& sink_;
    const ArrayMapping& map_;
    const SpectrumFilter& wanted_;
    pugi::xml_document groupsDoc_;
    ParamGroups groups_;
    std::map<std::string, std::uint64_t, std::less<>> spectrumAt_;  // where each spectrum begins in the copy
    std::uint64_t written_ = 0;
    bool hashing_ = false;
    std::size_t checksumShift_ = 0;
    std::string gap_;
    suite::Sha1 digest_;
};

void Rewriter::write(std::string_view bytes) {
    std::string why;
    if (!sink_.write(bytes, why)) throw WriteFailure{why};
    if (hashing_) digest_.update(bytes.data(), bytes.size());
    written_ += bytes.size();
}

bool Rewriter::rewrite_spectrum(Part& part, pugi::xml_node sp, std::size_t ordinal, std::vector<double>& values,
                                ArrayCodec& codec) const {
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
    const StartTag binaryTag = part.start_tag(binary);
    const auto [dataBegin, dataEnd] = part.plain_content(binaryTag, "binary", where);

    std::string why;
    if (!codec.decode(part.text().substr(dataBegin, dataEnd - dataBegin), zlib, type,
                             static_cast<std::size_t>(length), values, why))
        fail(where + "m/z array does not decode: " + why);
    const std::size_t count = values.size();
    map_(ordinal, values);
    if (values.size() != count) fail(where + "the m/z array changed its length");
    for (std::size_t i = 0; i < values.size(); ++i)
        if (!std::isfinite(values[i]))
            fail(where + "m/z value " + std::to_string(i + 1) + " does not map to a finite number");
    std::string encoded;
    if (!codec.encode_append(values, zlib, encoded, why)) fail(where + "m/z array: " + why);

    const StartTag arrayTag = part.start_tag(mz);
    if (const Attribute* a = arrayTag.find("encodedLength"))
        part.edit(a->valueBegin, a->valueEnd, std::to_string(encoded.size()));
    if (binaryTag.selfClosing) part.edit(binaryTag.end - 2, binaryTag.end, ">" + encoded + "</binary>");
    else part.edit(dataBegin, dataEnd, std::move(encoded));

    if (type != NumberType::Float64) {
        for (const TypeTerm& t : terms) {
            // The term's own start tag with its accession and name replaced;
            // everything else in it (cvRef, quotes, spacing) is kept.
            const StartTag tag = part.start_tag(t.node);
            const Attribute* acc = tag.find("accession");
            const Attribute* name = tag.find("name");
            if (!acc) fail(where + "the number type of the m/z array cannot be read");
            struct Change {
                std::size_t at, length;
                std::string text;
            };
            std::vector<Change> changes{{acc->valueBegin, acc->valueEnd - acc->valueBegin, kFloat64}};
            if (name) changes.push_back({name->valueBegin, name->valueEnd - name->valueBegin, std::string(kFloat64Name)});
            else changes.push_back({acc->valueEnd + 1, 0, std::string(" name=") + part.text()[acc->valueEnd] +
                                                              std::string(kFloat64Name) + part.text()[acc->valueEnd]});
            std::sort(changes.begin(), changes.end(), [](const Change& a, const Change& b) { return a.at > b.at; });
            std::string s(part.text().substr(tag.begin, tag.end - tag.begin));
            for (const Change& c : changes) s.replace(c.at - tag.begin, c.length, c.text);
            part.edit(tag.begin, tag.end, std::move(s));
        }
    }
    return true;
}

long Rewriter::rewrite_index(Part& frame, pugi::xml_node root, pugi::xml_node mzml, std::size_t headSize,
                             std::uint64_t tailOut) {
    // The part before the spectra is copied as it is; the rest follows them.
    const auto out = [headSize, tailOut](std::size_t at) {
        return at < headSize ? static_cast<std::uint64_t>(at) : tailOut + (at - headSize);
    };
    pugi::xml_node list = root.child("indexList");
    pugi::xml_node listOffset = root.child("indexListOffset");
    pugi::xml_node checksum = root.child("fileChecksum");
    const std::size_t mzmlAt = frame.start_tag(mzml).begin;
    const StartTag listTag = list ? frame.start_tag(list) : StartTag{};
    const StartTag offsetTag = list && listOffset ? frame.start_tag(listOffset) : StartTag{};
    const StartTag checksumTag = checksum ? frame.start_tag(checksum) : StartTag{};
    // Offsets are only well defined when each part follows the one it
    // depends on.
    if ((list && listTag.begin < mzmlAt) || (list && listOffset && offsetTag.begin < listTag.begin) ||
        (checksum && checksumTag.begin < std::max({mzmlAt, listTag.begin, offsetTag.begin})))
        fail("the index is not in its place after the mzML element");

    if (list) {
        std::map<std::string, std::uint64_t, std::less<>> chromatogramAt;
        for (pugi::xml_node ch : mzml.child("run").child("chromatogramList").children("chromatogram"))
            chromatogramAt.emplace(ch.attribute("id").value(), out(frame.start_tag(ch).begin));
        for (pugi::xml_node index : list.children("index")) {
            const std::string_view kind = index.attribute("name").value();
            const auto& at = kind == "spectrum" ? spectrumAt_ : chromatogramAt;
            if (kind != "spectrum" && kind != "chromatogram")
                fail("the index '" + std::string(kind) + "' is neither of spectra nor of chromatograms");
            for (pugi::xml_node off : index.children("offset")) {
                const std::string_view ref = off.attribute("idRef").value();
                auto it = at.find(ref);
                if (it == at.end()) fail("the index names " + std::string(kind) + " '" + std::string(ref) + "', which is not there");
                frame.replace_content(frame.start_tag(off), "offset", std::to_string(it->second), "");
            }
        }
        if (listOffset) frame.replace_content(offsetTag, "indexListOffset", std::to_string(out(listTag.begin)), "");
    }
    if (!checksum) return -1;
    const long edit = static_cast<long>(frame.edits().size());
    frame.replace_content(checksumTag, "fileChecksum", std::string(kDigestLength, '0'), "");
    // A self-closing checksum became <fileChecksum>DIGEST</fileChecksum>.
    checksumShift_ = checksumTag.selfClosing ? 1 : 0;
    return edit;
}

void Rewriter::rewrite_job(Job& job) const {
    job.failure.clear();
    job.rewritten = false;
    try {
        const ListElement& element = job.element;
        pugi::xml_parse_result res = job.doc.load_buffer(element.skeleton.data(), element.skeleton.size(),
                                                         pugi::parse_default, pugi::encoding_utf8);
        if (!res)
            fail("not an mzML document (not well-formed XML: " + std::string(res.description()) + " at byte " +
                 std::to_string(element.begin + element.in_text(static_cast<std::size_t>(res.offset))) + ")");
        pugi::xml_node sp = job.doc.child("spectrum");
        job.id = sp.attribute("id").value();
        Part part(element.text, &element);
        if ((!wanted_ || wanted_(job.ordinal)) && rewrite_spectrum(part, sp, job.ordinal, job.values, job.codec)) {
            part.result(job.copy);
            job.rewritten = true;
        }
    } catch (const Failure& f) {
        job.failure = f.text;
    } catch (const std::bad_alloc&) {
        job.failure = "out of memory";
    }
}

void Rewriter::run(std::size_t& rewritten) {
    rewritten = 0;
    const auto not_mzml = [](const std::string& why) { fail("not an mzML document (" + why + ")"); };
    const auto not_xml = [&](const pugi::xml_parse_result& res, std::uint64_t at) {
        not_mzml(std::string("not well-formed XML: ") + res.description() + " at byte " + std::to_string(at));
    };
    ListWalker walker(source_);
    std::string why;
    if (!walker.start(why)) not_mzml(why);
    // Only an indexed document has a checksum; it covers the copy from its
    // first byte.
    hashing_ = walker.frame().find("<indexedmzML") != std::string::npos;
    const std::size_t headSize = walker.found() ? walker.head_size() : 0;
    if (walker.found() && !walker.ended()) {
        // The parameter groups the spectra refer to come before them.
        std::string head = walker.frame() + "</spectrumList></run></mzML>";
        if (hashing_) head += "</indexedmzML>";
        pugi::xml_parse_result res = groupsDoc_.load_buffer(head.data(), head.size(), pugi::parse_default, pugi::encoding_utf8);
        if (!res) not_xml(res, static_cast<std::uint64_t>(res.offset));
        pugi::xml_node mzml = groupsDoc_.child("indexedmzML").child("mzML");
        if (!mzml) mzml = groupsDoc_.child("mzML");
        for (pugi::xml_node g : mzml.child("referenceableParamGroupList").children("referenceableParamGroup"))
            groups_.emplace(g.attribute("id").value(), g);
    }
    write(std::string_view(walker.frame()).substr(0, headSize));

    // Spectra are read in batches and rewritten on several threads (most of
    // the work is compressing arrays), then written in their order.
    std::vector<Job> jobs(kBatch);
    const std::size_t threads = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, kMaxThreads);
    std::size_t ordinal = 0;
    for (bool more = true; more;) {
        std::size_t count = 0;
        while (count < kBatch) {
            Job& job = jobs[count];
            const ListWalker::Step step = walker.next(job.element, true, job.gap, why);
            if (step == ListWalker::Step::Failed) not_mzml(why);
            if (step == ListWalker::Step::End) {
                more = false;
                gap_ = job.gap;
                break;
            }
            job.ordinal = ordinal++;
            ++count;
        }
        if (threads > 1 && count > 1) {
            std::vector<std::future<void>> running;
            for (std::size_t t = 0; t < threads; ++t)
                running.push_back(std::async(std::launch::async, [&, t] {
                    for (std::size_t k = t; k < count; k += threads) rewrite_job(jobs[k]);
                }));
            for (auto& r : running) r.get();
        } else {
            for (std::size_t k = 0; k < count; ++k) rewrite_job(jobs[k]);
        }
        for (std::size_t k = 0; k < count; ++k) {
            Job& job = jobs[k];
            if (!job.failure.empty()) fail(job.failure);
            write(job.gap);
            spectrumAt_.emplace(job.id, written_);
            write(job.rewritten ? std::string_view(job.copy) : std::string_view(job.element.text));
            if (job.rewritten) ++rewritten;
        }
    }
    write(gap_);

    // What follows the spectra: the rest of the run and the index.
    const std::string& frame = walker.frame();
    pugi::xml_document frameDoc;
    pugi::xml_parse_result res = frameDoc.load_buffer(frame.data(), frame.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!res) not_xml(res, res.offset < static_cast<std::ptrdiff_t>(headSize) ? res.offset : walker.tail_begin() + (res.offset - headSize));
    pugi::xml_node root = frameDoc.child("indexedmzML");
    pugi::xml_node mzml = root ? root.child("mzML") : frameDoc.child("mzML");
    if (!mzml) not_mzml("no mzML element");
    if (!mzml.child("run")) not_mzml("no run");
    if (walker.found() && !mzml.child("run").child("spectrumList")) not_mzml("the spectrum list is not inside the run");
    Part framePart(frame, nullptr);
    const long checksumEdit = root ? rewrite_index(framePart, root, mzml, headSize, written_) : -1;
    for (const Edit& e : framePart.edits())
        if (e.begin < headSize) fail("the index is not in its place after the mzML element");
    std::vector<std::size_t> at;
    const std::string text = framePart.result(&at);
    const std::string_view tail = std::string_view(text).substr(headSize);
    if (checksumEdit < 0) {
        write(tail);
        return;
    }
    const std::size_t digestAt = at[static_cast<std::size_t>(checksumEdit)] + checksumShift_ - headSize;
    write(tail.substr(0, digestAt));
    const auto d = digest_.finish();
    char hex[2 * 20 + 1];
    for (std::size_t i = 0; i < d.size(); ++i) std::snprintf(hex + 2 * i, 3, "%02x", d[i]);
    hashing_ = false;
    write(std::string_view(hex, kDigestLength));
    write(tail.substr(digestAt + kDigestLength));
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
        const std::unique_ptr<ByteSource> source = view_source(text);
        const std::unique_ptr<OutputSink> sink = string_sink(out);
        Rewriter r(*source, *sink, map, wanted);
        r.run(rewritten);
        return true;
    } catch (const Failure& f) {
        error = f.text;
        return false;
    } catch (const WriteFailure& f) {
        error = f.text;
        return false;
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return false;
    }
}

bool rewrite_mzml_file(const std::string& in, const std::string& out, const ArrayMapping& map,
                       std::size_t& rewritten, std::string& error, const SpectrumFilter& wanted) {
    rewritten = 0;
    try {
        std::string why, magic;
        std::unique_ptr<ByteSource> source = file_source(in, why);
        if (!source || !source->read(0, 2, magic)) {
            error = in + ": cannot be read: " + (source ? std::strerror(errno) : why);
            return false;
        }
        // A gzip stream cannot be read at an offset; it is inflated whole.
        if (is_gzip(magic)) {
            std::string packed, text;
            if (!source->read(0, static_cast<std::size_t>(source->size()), packed) || packed.size() != source->size()) {
                error = in + ": cannot be read: " + std::strerror(errno ? errno : EIO);
                return false;
            }
            if (!gunzip_text(packed, text, why)) {
                error = in + ": " + why;
                return false;
            }
            source = memory_source(std::move(text));
        }
        const bool gzip = out.size() > 3 && out.compare(out.size() - 3, 3, ".gz") == 0;
        const std::unique_ptr<OutputSink> sink = file_sink(out, gzip, why);
        if (!sink) {
            error = why;
            return false;
        }
        try {
            Rewriter r(*source, *sink, map, wanted);
            r.run(rewritten);
        } catch (const Failure& f) {
            error = in + ": " + f.text;
            return false;
        }
        if (!sink->finish(why)) {
            error = why;
            return false;
        }
        return true;
    } catch (const WriteFailure& f) {
        error = f.text;
        return false;
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return false;
    }
}

}  // namespace masscal::dm

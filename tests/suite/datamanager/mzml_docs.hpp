// Small mzML documents for the rewrite tests (every number encoding, an
// optional index with true offsets and checksum, a chromatogram, an empty
// spectrum), and readers of what a rewritten copy holds.
#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "mzml/binary_array.hpp"
#include "support/test_files.hpp"
#include "suite/utility/sha1.hpp"

namespace mzdocs {

enum class Type { F32, F64, I32, I64 };

inline const char* accession(Type t) {
    switch (t) {
        case Type::F32: return "MS:1000521";
        case Type::F64: return "MS:1000523";
        case Type::I32: return "MS:1000519";
        case Type::I64: return "MS:1000522";
    }
    return "";
}

inline std::string encode(const std::vector<double>& v, Type t, bool zlib) {
    std::vector<unsigned char> bytes;
    for (double x : v) {
        unsigned char b[8];
        std::size_t n = 8;
        if (t == Type::F64) std::memcpy(b, &x, 8);
        else if (t == Type::F32) {
            const float f = static_cast<float>(x);
            std::memcpy(b, &f, n = 4);
        } else if (t == Type::I32) {
            const auto i = static_cast<std::int32_t>(x);
            std::memcpy(b, &i, n = 4);
        } else {
            const auto i = static_cast<std::int64_t>(x);
            std::memcpy(b, &i, 8);
        }
        bytes.insert(bytes.end(), b, b + n);
    }
    if (zlib) bytes = testfiles::deflate(bytes);
    return testfiles::base64(bytes.data(), bytes.size());
}

struct Spectrum {
    std::vector<double> mz, intensity;
    Type mzType = Type::F64;
    bool zlib = false;
    std::string typeGroup;  // non-empty: the m/z type comes from this parameter group
};

struct Doc {
    std::vector<Spectrum> spectra;
    bool chromatogram = true;
    bool indexed = false;
    bool emptySpectrum = true;  // one spectrum with no points, after the others
};

inline std::string array(const char* kind, const std::vector<double>& v, Type t, bool zlib,
                         const std::string& group = "") {
    const std::string data = encode(v, t, zlib);
    std::string s = "        <binaryDataArray encodedLength=\"" + std::to_string(data.size()) + "\">\n";
    if (group.empty())
        s += std::string("          <cvParam cvRef=\"MS\" accession=\"") + accession(t) + "\" name=\"type\" value=\"\"/>\n";
    else
        s += "          <referenceableParamGroupRef ref=\"" + group + "\"/>\n";
    s += zlib ? "          <cvParam cvRef=\"MS\" accession=\"MS:1000574\" name=\"zlib compression\" value=\"\"/>\n"
              : "          <cvParam cvRef=\"MS\" accession=\"MS:1000576\" name=\"no compression\" value=\"\"/>\n";
    s += std::string("          <cvParam cvRef=\"MS\" accession=\"") + kind + "\" name=\"array\" value=\"\"/>\n";
    s += "          <binary>" + data + "</binary>\n        </binaryDataArray>\n";
    return s;
}

inline std::string build(const Doc& d) {
    std::string s = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
    if (d.indexed) s += "<indexedmzML xmlns=\"http://psi.hupo.org/ms/mzml\">\n";
    s += "<mzML xmlns=\"http://psi.hupo.org/ms/mzml\" version=\"1.1.0\">\n";
    s += "  <referenceableParamGroupList count=\"2\">\n";
    s += "    <referenceableParamGroup id=\"f32\"><cvParam cvRef=\"MS\" accession=\"MS:1000521\" name=\"32-bit float\" "
         "value=\"\"/></referenceableParamGroup>\n";
    s += "    <referenceableParamGroup id=\"f64\"><cvParam cvRef=\"MS\" accession=\"MS:1000523\" name=\"64-bit float\" "
         "value=\"\"/></referenceableParamGroup>\n";
    s += "  </referenceableParamGroupList>\n";
    s += "  <run id=\"r\">\n    <spectrumList count=\"" + std::to_string(d.spectra.size() + d.emptySpectrum) + "\">\n";
    std::vector<std::pair<std::string, std::size_t>> spectra, chromatograms;
    int n = 0;
    auto spectrum = [&](const Spectrum& sp) {
        const std::string id = "scan=" + std::to_string(n + 1);
        spectra.emplace_back(id, s.size() + 6);
        s += "      <spectrum index=\"" + std::to_string(n) + "\" id=\"" + id + "\" defaultArrayLength=\"" +
             std::to_string(sp.mz.size()) + "\">\n";
        s += "        <cvParam cvRef=\"MS\" accession=\"MS:1000511\" name=\"ms level\" value=\"1\"/>\n";
        s += "        <binaryDataArrayList count=\"2\">\n";
        s += array("MS:1000514", sp.mz, sp.mzType, sp.zlib, sp.typeGroup);
        s += array("MS:1000515", sp.intensity, Type::F32, sp.zlib);
        s += "        </binaryDataArrayList>\n      </spectrum>\n";
        ++n;
    };
    for (const Spectrum& sp : d.spectra) spectrum(sp);
    if (d.emptySpectrum) {
        const std::string id = "scan=" + std::to_string(n + 1);
        spectra.emplace_back(id, s.size() + 6);
        s += "      <spectrum index=\"" + std::to_string(n) + "\" id=\"" + id + "\" defaultArrayLength=\"0\">\n";
        s += "        <binaryDataArrayList count=\"2\">\n";
        s += "        <binaryDataArray encodedLength=\"0\"><cvParam cvRef=\"MS\" accession=\"MS:1000521\" name=\"32-bit "
             "float\"/><cvParam cvRef=\"MS\" accession=\"MS:1000514\" name=\"m/z array\"/><binary/></binaryDataArray>\n";
        s += "        <binaryDataArray encodedLength=\"0\"><cvParam cvRef=\"MS\" accession=\"MS:1000521\" name=\"32-bit "
             "float\"/><cvParam cvRef=\"MS\" accession=\"MS:1000515\" name=\"intensity array\"/><binary/></binaryDataArray>\n";
        s += "        </binaryDataArrayList>\n      </spectrum>\n";
    }
    s += "    </spectrumList>\n";
    if (d.chromatogram) {
        s += "    <chromatogramList count=\"1\">\n";
        chromatograms.emplace_back("TIC", s.size() + 6);
        s += "      <chromatogram index=\"0\" id=\"TIC\" defaultArrayLength=\"3\">\n        <binaryDataArrayList count=\"2\">\n";
        s += array("MS:1000595", {1.5, 2.5, 3.5}, Type::F32, false);
        s += array("MS:1000515", {10, 20, 30}, Type::F32, true);
        s += "        </binaryDataArrayList>\n      </chromatogram>\n    </chromatogramList>\n";
    }
    s += "  </run>\n</mzML>\n";
    if (d.indexed) {
        const std::size_t listAt = s.size();
        s += "<indexList count=\"" + std::to_string(d.chromatogram ? 2 : 1) + "\">\n  <index name=\"spectrum\">\n";
        for (auto& [id, at] : spectra) s += "    <offset idRef=\"" + id + "\">" + std::to_string(at) + "</offset>\n";
        s += "  </index>\n";
        if (d.chromatogram) {
            s += "  <index name=\"chromatogram\">\n";
            for (auto& [id, at] : chromatograms)
                s += "    <offset idRef=\"" + id + "\">" + std::to_string(at) + "</offset>\n";
            s += "  </index>\n";
        }
        s += "</indexList>\n<indexListOffset>" + std::to_string(listAt) + "</indexListOffset>\n<fileChecksum>";
        s += masscal::suite::sha1_hex(s) + "</fileChecksum>\n</indexedmzML>\n";
    }
    return s;
}

// What a document says about one spectrum's m/z array.
struct MzArray {
    std::string spectrum;
    std::string typeAccession, typeName;  // of the first type term on the array itself
    bool typeFromGroup = false;
    bool zlib = false;
    std::size_t length = 0;
    std::string encodedLength, binary;
    std::vector<double> values;  // decoded as doubles
    std::string error;
};

inline std::vector<MzArray> mz_arrays(std::string_view text) {
    pugi::xml_document doc;
    doc.load_buffer(text.data(), text.size());
    pugi::xml_node mzml = doc.child("mzML");
    if (!mzml) mzml = doc.child("indexedmzML").child("mzML");
    std::vector<MzArray> out;
    for (pugi::xml_node sp : mzml.child("run").child("spectrumList").children("spectrum")) {
        for (pugi::xml_node a : sp.child("binaryDataArrayList").children("binaryDataArray")) {
            if (!a.find_child_by_attribute("cvParam", "accession", "MS:1000514")) continue;
            MzArray m;
            m.spectrum = sp.attribute("id").value();
            m.length = std::stoul(sp.attribute("defaultArrayLength").value());
            masscal::dm::NumberType t = masscal::dm::NumberType::Float64;
            for (pugi::xml_node c : a.children("cvParam")) {
                const std::string acc = c.attribute("accession").value();
                if (acc == "MS:1000574") m.zlib = true;
                const bool type = acc == "MS:1000521" || acc == "MS:1000523" || acc == "MS:1000519" || acc == "MS:1000522";
                if (type && m.typeAccession.empty()) {
                    m.typeAccession = acc;
                    m.typeName = c.attribute("name").value();
                }
            }
            if (m.typeAccession.empty()) {
                m.typeFromGroup = true;
                const std::string g = a.child("referenceableParamGroupRef").attribute("ref").value();
                m.typeAccession = g == "f32" ? "MS:1000521" : "MS:1000523";
            }
            if (m.typeAccession == "MS:1000521") t = masscal::dm::NumberType::Float32;
            if (m.typeAccession == "MS:1000519") t = masscal::dm::NumberType::Int32;
            if (m.typeAccession == "MS:1000522") t = masscal::dm::NumberType::Int64;
            m.encodedLength = a.attribute("encodedLength").value();
            m.binary = a.child_value("binary");
            masscal::dm::decode_number_array(m.binary, m.zlib, t, m.length, m.values, m.error);
            out.push_back(std::move(m));
        }
    }
    return out;
}

// The text with each m/z <binaryDataArray> block cut out (up to the index,
// when there is one).
inline std::string outside_mz_arrays(std::string_view text) {
    std::string out;
    std::size_t from = 0;
    const std::size_t stop = std::min(text.find("<indexList"), text.size());
    for (;;) {
        const std::size_t open = text.find("<binaryDataArray ", from);
        if (open >= stop) break;
        const std::size_t close = text.find("</binaryDataArray>", open);
        const std::size_t end = close + std::strlen("</binaryDataArray>");
        out.append(text.substr(from, open - from));
        if (text.substr(open, end - open).find("MS:1000514") == std::string_view::npos)
            out.append(text.substr(open, end - open));
        else
            out += '#';
        from = end;
    }
    out.append(text.substr(from, stop - from));
    return out;
}

}  // namespace mzdocs

// The controlled-vocabulary lookups shared by the mzML reader and rewriter.
#pragma once

#include <pugixml.hpp>

#include <cstring>
#include <functional>
#include <map>
#include <string>

namespace masscal::dm {

// Terms of binary data arrays.
inline constexpr const char* kMzArray = "MS:1000514";
inline constexpr const char* kFloat32 = "MS:1000521";
inline constexpr const char* kFloat64 = "MS:1000523";
inline constexpr const char* kInt32 = "MS:1000519";
inline constexpr const char* kInt64 = "MS:1000522";
inline constexpr const char* kZlib = "MS:1000574";

using ParamGroups = std::map<std::string, pugi::xml_node, std::less<>>;

// Compression terms other than zlib and none; their arrays are not read.
inline constexpr const char* kOtherCompressionTerms[] = {"MS:1002312", "MS:1002313", "MS:1002314",
                                                         "MS:1002746", "MS:1002747", "MS:1002748",
                                                         "MS:1003088", "MS:1003089", "MS:1003090"};

// The cvParam with the accession on the element itself, else in the
// parameter groups it refers to; null when there is none.
inline pugi::xml_node find_cv_param(pugi::xml_node node, const ParamGroups& groups, const char* accession) {
    for (pugi::xml_node c : node.children("cvParam"))
        if (std::strcmp(c.attribute("accession").value(), accession) == 0) return c;
    for (pugi::xml_node r : node.children("referenceableParamGroupRef")) {
        auto it = groups.find(r.attribute("ref").value());
        if (it == groups.end()) continue;
        for (pugi::xml_node c : it->second.children("cvParam"))
            if (std::strcmp(c.attribute("accession").value(), accession) == 0) return c;
    }
    return {};
}

}  // namespace masscal::dm

// INI text: read back byte for byte; a write changes what it names and
// reads back, and the written text parses to the same document.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "suite/fileaccess/ini_document.hpp"

using masscal::suite::ini::Document;
using masscal::suite::ini::trim;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Document d = Document::parse(text);
    if (d.serialize() != text || d.serialized_size() != text.size()) std::abort();

    for (std::string_view s : d.section_names()) {
        if (!d.has_section(s)) std::abort();
        for (std::string_view k : d.key_names(s))
            if (!d.find(s, k, nullptr)) std::abort();
    }

    // Names and a value taken from the input's first bytes.
    const std::size_t cut1 = size / 3, cut2 = 2 * size / 3;
    const std::string section(trim(std::string_view(text).substr(0, cut1 < 12 ? cut1 : 12)));
    const std::string key(trim(std::string_view(text).substr(cut1, cut2 - cut1 < 12 ? cut2 - cut1 : 12)));
    const std::string value(std::string_view(text).substr(cut2, 40));
    if (Document::valid_section(section) && Document::valid_key(key) && Document::valid_value(value)) {
        d.set(section, key, value);
        std::string_view got;
        if (!d.find(section, key, &got) || got != trim(value)) std::abort();
        const std::string once = d.serialize();
        Document again = Document::parse(once);
        if (again.serialize() != once) std::abort();
        if (!again.find(section, key, &got) || got != trim(value)) std::abort();
        // The same write on the reread text gives the same text.
        again.set(section, key, "x");
        d.set(section, key, "x");
        if (again.serialize() != d.serialize()) std::abort();
        d.erase_key(section, key);
        again.erase_key(section, key);
        if (again.serialize() != d.serialize()) std::abort();
        d.erase_section(section);
        again.erase_section(section);
        if (again.serialize() != d.serialize()) std::abort();
    }
    return 0;
}

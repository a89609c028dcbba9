#include <gtest/gtest.h>

#include "formats/backend.hpp"
#include "suite/datamanager/records.hpp"

namespace {

using namespace masscal::dm;

class FakeBackend final : public Backend {
public:
    explicit FakeBackend(std::vector<std::string> e) : exts(std::move(e)) {}
    std::vector<std::string> extensions() const override { return exts; }
    std::unique_ptr<RawFile> open(const std::string&, std::string& error) const override {
        error = "fake";
        return nullptr;
    }
    std::vector<std::string> exts;
};

TEST(DataManagerRegistry, ChoosesByExtensionIgnoringCase) {
    auto a = std::make_shared<FakeBackend>(std::vector<std::string>{"zzq", "ZZR"});
    register_backend(a);
    EXPECT_EQ(backend_for_extension("ZZQ"), a);
    EXPECT_EQ(backend_for_extension("zzr"), a);
    EXPECT_EQ(backend_for_extension("zzs"), nullptr);
    auto b = std::make_shared<FakeBackend>(std::vector<std::string>{"zzq"});
    register_backend(b);
    EXPECT_EQ(backend_for_extension("zzq"), b);  // a later registration wins
}

TEST(DataManagerRecords, FieldsAreReadAtTheirOffsetsUnaligned) {
    unsigned char id[kIdentifierSize] = {};
    store_field<std::uint16_t>(id, kIdRequestType, 2);
    store_field<std::uint32_t>(id, kIdFunction, 7);
    store_field<float>(id, kIdHeader + kHdrMassHigh, 1234.5f);
    EXPECT_EQ(id[262], 2);
    EXPECT_EQ(id[296], 7);
    EXPECT_EQ(load_field<float>(id, kIdHeader + kHdrMassHigh), 1234.5f);
    static_assert(kHeaderSize == 236);
    static_assert(kIdHeader + kHdrTypeValue + 4 <= kIdHeaderEnd);
}

}  // namespace

// The private-profile functions on a file the size of a whole calibration:
// 32 function sections of 30 keys (polynomial and covariance texts) and a
// few hundred other keys, written in one batch or key by key, and read back.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "suite/fileaccess/profile.hpp"

namespace {

struct Key {
    std::string section, key, value;
};

std::vector<Key> calibration_keys() {
    std::vector<Key> keys;
    const std::string poly = "1 5 -0.0123456789012345 1.000012345678901 3.14159265358979e-07 -2.718281828459045e-11 "
                             "1.5e-15 -7.25e-19";
    std::string covar;
    for (int i = 0; i < 21; ++i) covar += "1.234567890123e-05 ";
    char name[64];
    for (int f = 1; f <= 32; ++f) {
        std::snprintf(name, sizeof name, "FUNCTIONS%03d", f);
        keys.push_back({name, "NumberOfSegments", "12"});
        for (int s = 1; s <= 12; ++s) {
            char k[32];
            std::snprintf(k, sizeof k, "Polynomial%03d", s);
            keys.push_back({name, k, poly});
            std::snprintf(k, sizeof k, "Covariance%03d", s);
            keys.push_back({name, k, covar});
        }
        keys.push_back({name, "IsModified", "1"});
        keys.push_back({name, "ModifiedPolynomial", poly});
        for (int x = 0; x < 3; ++x) keys.push_back({name, "Extra" + std::to_string(x), "0.000000"});
    }
    for (int q = 0; q < 300; ++q) {
        std::snprintf(name, sizeof name, "QUAD%d", 1 + q % 2);
        keys.push_back({name, "Setting" + std::to_string(q), "123.456700"});
    }
    return keys;
}

const std::vector<Key>& keys() {
    static const std::vector<Key> k = calibration_keys();
    return k;
}

std::string scratch(const char* name) {
    static const std::string dir = [] {
        std::string t = (std::filesystem::temp_directory_path() / "masscal-bench-XXXXXX").string();
        return std::string(mkdtemp(t.data()));
    }();
    return dir + "/" + name;
}

void write_all(const std::string& file) {
    for (const Key& k : keys())
        CFileAccess::WritePrivateProfileStringSA(k.section.c_str(), k.key.c_str(), k.value.c_str(), file.c_str());
}

std::size_t read_all(const std::string& file) {
    char buf[1024];
    std::size_t total = 0;
    for (const Key& k : keys())
        total += CFileAccess::GetPrivateProfileStringSA(k.section.c_str(), k.key.c_str(), "", buf, sizeof buf,
                                                        file.c_str());
    return total;
}

// A new file each time, written in one batch.
void BM_WriteCalibrationInOneBatch(benchmark::State& state) {
    const std::string file = scratch("batch.cal");
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(file.c_str());
        state.ResumeTiming();
        CProfileWriteBatch batch(file.c_str());
        write_all(file);
        batch.Commit();
    }
    state.counters["keys"] = static_cast<double>(keys().size());
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(file));
}
BENCHMARK(BM_WriteCalibrationInOneBatch)->Unit(benchmark::kMillisecond);

// Rewriting every key of an existing file in one batch.
void BM_RewriteCalibrationInOneBatch(benchmark::State& state) {
    const std::string file = scratch("rewrite.cal");
    write_all(file);
    for (auto _ : state) {
        CProfileWriteBatch batch(file.c_str());
        write_all(file);
        batch.Commit();
    }
}
BENCHMARK(BM_RewriteCalibrationInOneBatch)->Unit(benchmark::kMillisecond);

// Every key read back from a file the cache holds.
void BM_ReadCalibrationBack(benchmark::State& state) {
    const std::string file = scratch("read.cal");
    {
        CProfileWriteBatch batch(file.c_str());
        write_all(file);
    }
    for (auto _ : state) benchmark::DoNotOptimize(read_all(file));
}
BENCHMARK(BM_ReadCalibrationBack)->Unit(benchmark::kMillisecond);

// The same after the file was replaced by another program: read once more.
void BM_ReadCalibrationBackAfterAnotherWriter(benchmark::State& state) {
    const std::string file = scratch("cold.cal");
    const std::string copy = scratch("cold.copy");
    {
        CProfileWriteBatch batch(file.c_str());
        write_all(file);
    }
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::copy_file(file, copy, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::rename(copy, file);
        ::usleep(200000);  // older than the file clock's doubt
        state.ResumeTiming();
        benchmark::DoNotOptimize(read_all(file));
    }
}
BENCHMARK(BM_ReadCalibrationBackAfterAnotherWriter)->Unit(benchmark::kMillisecond)->Iterations(20);

// Key by key without a batch: one atomic, flushed replacement per key.
void BM_WriteKeyByKey(benchmark::State& state) {
    const std::string file = scratch("bykey.cal");
    write_all(file);
    std::size_t i = 0;
    for (auto _ : state) {
        const Key& k = keys()[i++ % keys().size()];
        CFileAccess::WritePrivateProfileStringSA(k.section.c_str(), k.key.c_str(), (k.value + "1").c_str(),
                                                 file.c_str());
    }
}
BENCHMARK(BM_WriteKeyByKey)->Unit(benchmark::kMillisecond)->Iterations(200);

// Ten thousand keys in one batch.
void BM_WriteTenThousandKeysInOneBatch(benchmark::State& state) {
    const std::string file = scratch("ten.ini");
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(file.c_str());
        state.ResumeTiming();
        CProfileWriteBatch batch(file.c_str());
        for (int i = 0; i < 10000; ++i) {
            const std::string section = "Section" + std::to_string(i / 100);
            const std::string key = "Key" + std::to_string(i % 100);
            CFileAccess::WritePrivateProfileStringSA(section.c_str(), key.c_str(), "1.234567", file.c_str());
        }
        batch.Commit();
    }
}
BENCHMARK(BM_WriteTenThousandKeysInOneBatch)->Unit(benchmark::kMillisecond);

}  // namespace

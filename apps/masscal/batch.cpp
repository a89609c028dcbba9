#include "batch.hpp"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

#include "cli_support.hpp"

namespace cli {
namespace {

// A bar on one terminal line, redrawn in place; only the thread that moves
// it on draws, under the lock.
class Progress {
public:
    Progress(std::size_t total, bool shown) : total_(total), shown_(shown) {}
    void step() {
        std::lock_guard lock(mutex_);
        ++done_;
        if (!shown_) return;
        constexpr int kWidth = 40;
        const int filled = static_cast<int>(kWidth * done_ / std::max<std::size_t>(total_, 1));
        std::fprintf(stderr, "\r[%.*s%*s] %zu/%zu", filled, "########################################",
                     kWidth - filled, "", done_, total_);
        if (done_ == total_) std::fputc('\n', stderr);
        std::fflush(stderr);
    }

private:
    std::mutex mutex_;
    std::size_t total_, done_ = 0;
    bool shown_;
};

const char* status_of(const RunResult& r) {
    switch (r.code) {
    case kOk: return "ok";
    case kCalFailed: return "not calibrated";
    default: return "unreadable";
    }
}

}  // namespace

int run_batch(const CalOptions& base, const BatchOptions& batch) {
    const std::size_t n = batch.data.size();
    // The settings are read once: every file gets the same parameters.
    const CalParams params = parameters_for(base);
    std::vector<RunResult> results(n);
    std::vector<CalOptions> options(n, base);
    for (std::size_t i = 0; i < n; ++i) options[i].data = batch.data[i];

    unsigned jobs = batch.jobs ? batch.jobs : std::max(1u, std::thread::hardware_concurrency());
    jobs = static_cast<unsigned>(std::min<std::size_t>(jobs, std::max<std::size_t>(n, 1)));
    Progress progress(n, batch.progress && isatty(STDERR_FILENO));
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < n;) {
            try {
                results[i] = run_calibration(options[i], params);
            } catch (const std::exception& e) {
                results[i].code = kBadInput;
                results[i].error = failure_text(options[i].data, e.what());
            }
            progress.step();
        }
    };
    std::vector<std::thread> workers;
    for (unsigned t = 1; t < jobs; ++t) workers.emplace_back(work);
    work();
    for (auto& t : workers) t.join();

    int worst = kOk;
    std::size_t good = 0;
    for (const auto& r : results) {
        worst = std::max(worst, r.code);
        if (r.code == kOk) ++good;
    }
    if (batch.jsonl) {
        for (std::size_t i = 0; i < n; ++i) {
            const RunResult& r = results[i];
            nlohmann::json j = r.code == kOk ? to_json(options[i], r) : nlohmann::json{{"data", options[i].data}};
            j["status"] = status_of(r);
            if (r.code != kOk) j["error"] = r.error;
            std::printf("%s\n", j.dump().c_str());
        }
    } else {
        std::size_t width = 4;
        for (const auto& d : batch.data) width = std::max(width, d.size());
        std::printf("%-*s %7s %9s  %s\n", static_cast<int>(width), "file", "matches", "RMS ppm", "status");
        for (std::size_t i = 0; i < n; ++i) {
            const RunResult& r = results[i];
            if (r.code == kOk)
                std::printf("%-*s %7zu %9.3f  %s\n", static_cast<int>(width), batch.data[i].c_str(), r.matches.size(),
                            r.rmsResidualPpm, status_of(r));
            else
                std::printf("%-*s %7s %9s  %s\n", static_cast<int>(width), batch.data[i].c_str(), "-", "-",
                            status_of(r));
        }
        std::printf("%zu of %zu files calibrated\n", good, n);
    }
    // Why each failed file failed, one line each, after the results.
    for (const auto& r : results)
        if (r.code != kOk) std::fprintf(stderr, "masscal: %s\n", r.error.c_str());
    return worst;
}

}  // namespace cli

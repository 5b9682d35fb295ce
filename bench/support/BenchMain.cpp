// The main of every benchmark program: Google Benchmark's own, with two
// differences. SDL gets its dummy video and audio drivers unless the
// environment names others, so that no benchmark opens a window or, with no
// display, draws into the terminal through SDL's text driver. And a
// benchmark that reported an error makes the exit status 1, so that a run
// of every program (CI's) fails on a broken one instead of printing its
// error among the figures.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

// The report the flags ask for (console, JSON, CSV), noting errors.
class ErrorNotingReporter final : public benchmark::BenchmarkReporter {
  public:
    explicit ErrorNotingReporter(benchmark::BenchmarkReporter& shown) : m_shown(shown) {}
    bool ReportContext(const Context& context) override { return m_shown.ReportContext(context); }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            m_failed = m_failed || run.error_occurred;
        m_shown.ReportRuns(runs);
    }
    void Finalize() override { m_shown.Finalize(); }
    bool failed() const { return m_failed; }

  private:
    benchmark::BenchmarkReporter& m_shown;
    bool m_failed = false;
};

} // namespace

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    ErrorNotingReporter reporter(*benchmark::CreateDefaultDisplayReporter());
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.failed() ? 1 : 0;
}

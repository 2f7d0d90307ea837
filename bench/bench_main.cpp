// Runs the benchmarks and closes with the speed-up of every benchmark named
// NAME/fast over its NAME/literal twin: the literal run's processor time per
// iteration divided by the fast one's, for the same work. Processor time, not
// wall time, as the machine may be shared with other work.
#include <benchmark/benchmark.h>

#include <map>
#include <ostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string FAST_SUFFIX = "/fast";
const std::string LITERAL_SUFFIX = "/literal";

class ratio_reporter : public benchmark::ConsoleReporter {
  public:
    // Colours only on a terminal, so that a saved report reads as plain text.
    explicit ratio_reporter(bool terminal)
        : ConsoleReporter(terminal ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0)
                continue;
            std::string name = run.run_name.function_name + run.run_name.args;
            double seconds = run.cpu_accumulated_time / (double)run.iterations;
            auto found = seconds_per_iteration_.find(name);
            // Of repeated runs the fastest counts: it was disturbed least.
            if (found == seconds_per_iteration_.end()) {
                order_.push_back(name);
                seconds_per_iteration_[name] = seconds;
            } else if (seconds < found->second) {
                found->second = seconds;
            }
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::ostream &out = GetOutputStream();
        bool heading = false;
        for (const std::string &name : order_) {
            if (name.size() <= FAST_SUFFIX.size() ||
                name.compare(name.size() - FAST_SUFFIX.size(), FAST_SUFFIX.size(), FAST_SUFFIX))
                continue;
            std::string base = name.substr(0, name.size() - FAST_SUFFIX.size());
            auto literal = seconds_per_iteration_.find(base + LITERAL_SUFFIX);
            if (literal == seconds_per_iteration_.end()) continue;
            if (!heading)
                out << "\nSpeed-up over the literal algorithm (literal CPU time / fast CPU "
                       "time):\n";
            heading = true;
            char line[128];
            snprintf(line, sizeof line, "  %-28s %7.2f x\n", base.c_str(),
                     literal->second / seconds_per_iteration_[name]);
            out << line;
        }
    }

  private:
    std::vector<std::string> order_;
    std::map<std::string, double> seconds_per_iteration_;
};

} // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    ratio_reporter reporter(isatty(STDOUT_FILENO));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

// The benchmark: runs the real korvane.exe against the virtual modem and
// measures its waits, the edges of its reply windows, its latency, CPU,
// memory and size. Prints a Markdown table and writes it to --out.
#include <cstdio>

#include "tools/bench/detection_runs.h"
#include "tools/bench/link_figures.h"
#include "tools/bench/operations.h"
#include "tools/bench/rows.h"
#include "tools/bench/size_figures.h"
#include "tools/bench/timed_program.h"

namespace {

void RunParts(bench::Context& context, bench::Figures& figures) {
    using namespace bench;
    const Options& opt = context.opt;
    if (opt.Runs("size")) MeasureSize(context, figures.size);
    if (opt.Runs("link")) MeasureLink(context, figures.link);
    for (int i = 0; opt.Runs("none") && i < opt.runs; ++i) {
        Log("detection run without a modem %d/%d", i + 1, opt.runs);
        RunWithoutModem(context, figures.detection);
    }
    for (int i = 0; opt.Runs("held") && i < opt.runs; ++i) {
        Log("detection run on six lines that hold writes back %d/%d", i + 1, opt.runs);
        RunWithHeldLines(context, figures.detection);
    }
    for (int i = 0; opt.Runs("modem") && i < opt.runs; ++i) {
        Log("detection run with a modem on COM%d, then its operations %d/%d", kModemCom, i + 1, opt.runs);
        RunWithModem(context, figures.detection, figures.operations);
    }
    for (int i = 0; opt.Runs("probe") && i < opt.runs; ++i) {
        Log("probe window edge %d/%d", i + 1, opt.runs);
        MeasureProbeEdge(context, figures.detection, i == 0);
    }
    context.DetachAll();
}

bool WriteText(const std::string& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    std::fputs(text.c_str(), file);
    return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    bench::Options opt;
    if (!bench::ParseOptions(argc, argv, &opt)) {
        std::fputs(bench::kUsage, stderr);
        return 2;
    }
    if (!bench::LoadTimingHook()) {
        std::fprintf(stderr, "bench: cannot load the timing hook DLL\n");
        return 1;
    }
    bench::Context context(opt);
    std::string error;
    if (!context.Setup(&error)) {
        std::fprintf(stderr, "bench: %s\n", error.c_str());
        return 1;
    }
    bench::Figures figures;
    RunParts(context, figures);
    const std::vector<bench::Row> rows = bench::TableRows(opt, figures);
    std::string text = bench::RenderTable(rows);
    const std::vector<std::string> notes = bench::TableNotes(figures);
    if (!notes.empty()) {
        text += "\nFurther measurements:\n\n";
        for (const std::string& note : notes) text += "- " + note + "\n";
    }
    std::fputs(text.c_str(), stdout);
    if (!opt.out.empty() && !WriteText(opt.out, text)) {
        std::fprintf(stderr, "bench: cannot write %s\n", opt.out.c_str());
        return 1;
    }
    return bench::AllMeasured(rows) ? 0 : 1;
}

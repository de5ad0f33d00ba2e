// Whole Quorvane runs next to the I/O no filter can avoid. For each of ten
// workloads (formats 1 and 3, each with a class, a Z band, an intensity
// range, first returns and a GPS window, keeping 40-70 % of the points) it
// runs the tool and io_floor (read the input, write as many bytes as the
// tool's output holds, read the output back), pair after pair, the order of
// each pair alternating, so that the machine's drift falls on both alike; it
// reports the medians, the median ratio with its min and max, and the tool's
// peak memory.
//
// Usage: bench_filter [--points N] [--runs N] [--data DIR] [--readme FILE]
//                     [--tool PATH] [--against PATH]
//   --readme  writes the table into FILE between the bench_filter markers
//   --against pairs the tool with another build of it instead of io_floor
//             (and leaves out the 1,000-point row, which is there for memory)
//   --only    runs the workloads whose label holds this text
#include "las_writer.h"
#include "run_tool.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct Options {
    uint64_t points = 10000000;
    int runs = 15;
    std::string data = "bench-data", readme, tool, against, floor, only;
};

struct Workload {
    const char *label;
    uint8_t format;
    std::vector<std::string> filter;  // attribute, min, max
};

const Workload kWorkloads[] = {
    {"format 1, class 2", 1, {"9", "2", "2"}},
    {"format 1, Z 10 to 40", 1, {"3", "10", "40"}},
    {"format 1, intensity 0 to 32767", 1, {"4", "0", "32767"}},
    {"format 1, first returns", 1, {"5", "1", "1"}},
    {"format 1, GPS time window", 1, {"13", "300020", "300080"}},
    {"format 3, class 2", 3, {"9", "2", "2"}},
    {"format 3, Z 10 to 40", 3, {"3", "10", "40"}},
    {"format 3, intensity 0 to 32767", 3, {"4", "0", "32767"}},
    {"format 3, first returns", 3, {"5", "1", "1"}},
    {"format 3, GPS time window", 3, {"13", "300020", "300080"}},
};

off_t file_size(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

// Has the system write new files back to disk now, rather than during the
// first runs that read them.
void settle_new_files()
{
    sync();
}

// Makes the workload's input once; later runs reuse it.
std::string input_file(const Options &o, uint8_t format, uint64_t points)
{
    std::string path = o.data + "/fmt" + std::to_string(format) + "_" + std::to_string(points) + ".las";
    LasOptions opts;
    opts.PointDataFormatID = format;
    if (file_size(path) != (off_t)(227 + points * las_format_record_length(format))) {
        printf("making %s ...\n", path.c_str());
        fflush(stdout);
        if (!write_las_stream(path, opts, points, [](uint64_t i) { return synthetic_point(i, 1); })) {
            fprintf(stderr, "cannot write %s\n", path.c_str());
            exit(1);
        }
        settle_new_files();
    }
    return path;
}

// Reads the file through once, so that every run finds it in the page
// cache, without holding it: a child's peak memory counts the parent's.
void warm(const std::string &path)
{
    std::vector<char> block(1 << 20);
    FILE *fp = fopen(path.c_str(), "rb");
    while (fp && fread(block.data(), 1, block.size(), fp) == block.size()) {
    }
    if (fp)
        fclose(fp);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

RunResult must_run(const std::string &program, const std::vector<std::string> &args)
{
    RunResult r = run_program(program, args);
    if (r.status != 0) {
        fprintf(stderr, "%s failed (%d): %s%s\n", program.c_str(), r.status, r.out.c_str(), r.err.c_str());
        exit(1);
    }
    return r;
}

// One table row: the tool paired with io_floor (or the other build).
std::string bench(const Options &o, const Workload &w, uint64_t points)
{
    const std::string in = input_file(o, w.format, points), out = in + ".out.las";
    std::vector<std::string> args = {in, out};
    args.insert(args.end(), w.filter.begin(), w.filter.end());
    warm(in);
    std::vector<double> tool_s, floor_s, ratio;
    long peak_kb = 0;
    // io_floor writes as many bytes as the tool's output holds.
    off_t kept_bytes = 0;
    if (o.against.empty()) {
        must_run(o.tool, args);
        kept_bytes = file_size(out);
        remove(out.c_str());
    }
    auto other = [&] {
        return o.against.empty() ? must_run(o.floor, {in, out, std::to_string(kept_bytes)})
                                 : must_run(o.against, args);
    };
    for (int run = 0; run < o.runs; run++) {
        // Each pair runs in the other order from the one before, so that
        // neither side always finds the system as the other left it.
        RunResult a, b;
        if (run % 2 == 0) {
            a = must_run(o.tool, args);
            remove(out.c_str());
            b = other();
        } else {
            b = other();
            remove(out.c_str());
            a = must_run(o.tool, args);
        }
        remove(out.c_str());
        tool_s.push_back(a.seconds);
        floor_s.push_back(b.seconds);
        ratio.push_back(a.seconds / b.seconds);
        peak_kb = std::max(peak_kb, a.peak_kb);
    }
    char row[256];
    snprintf(row, sizeof row, "| %-30s | %10llu | %7.3f | %7.3f | %5.2fx | %5.2f-%5.2fx | %7.1f |\n",
             w.label, (unsigned long long)points, median(tool_s), median(floor_s), median(ratio),
             *std::min_element(ratio.begin(), ratio.end()),
             *std::max_element(ratio.begin(), ratio.end()), peak_kb / 1024.0);
    fputs(row, stdout);
    fflush(stdout);
    return row;
}

// Replaces the lines between the markers in `path` with `table`.
bool write_into_readme(const std::string &path, const std::string &table)
{
    const std::string begin = "<!-- bench_filter:begin -->\n", end = "<!-- bench_filter:end -->";
    std::ifstream f(path);
    std::stringstream text;
    text << f.rdbuf();
    std::string s = text.str();
    size_t b = s.find(begin), e = s.find(end);
    if (b == std::string::npos || e == std::string::npos || e < b)
        return false;
    s.replace(b + begin.size(), e - b - begin.size(), table);
    std::ofstream(path) << s;
    return true;
}

Options parse(int argc, char **argv)
{
    Options o;
    std::string self = argv[0], here = self.substr(0, self.rfind('/') + 1);
    o.tool = here + "Quorvane";
    o.floor = here + "io_floor";
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string k = argv[i], v = argv[i + 1];
        if (k == "--points") o.points = strtoull(v.c_str(), nullptr, 10);
        else if (k == "--runs") o.runs = atoi(v.c_str());
        else if (k == "--data") o.data = v;
        else if (k == "--readme") o.readme = v;
        else if (k == "--tool") o.tool = v;
        else if (k == "--against") o.against = v;
        else if (k == "--only") o.only = v;
        else {
            fprintf(stderr, "unknown option %s\n", k.c_str());
            exit(2);
        }
    }
    return o;
}

}  // namespace

int main(int argc, char **argv)
{
    Options o = parse(argc, argv);
    mkdir(o.data.c_str(), 0755);
    std::string table = "| workload | points | tool s | " + std::string(o.against.empty() ? "floor s" : "other s") +
                        " | ratio | min-max | peak MB |\n|---|---|---|---|---|---|---|\n";
    printf("\n%s", table.c_str());
    if (o.against.empty())
        table += bench(o, kWorkloads[0], 1000);  // peak memory of a small file
    for (const Workload &w : kWorkloads)
        if (strstr(w.label, o.only.c_str()))
            table += bench(o, w, o.points);
    if (!o.readme.empty() && !write_into_readme(o.readme, table)) {
        fprintf(stderr, "%s has no bench_filter markers\n", o.readme.c_str());
        return 1;
    }
    return 0;
}

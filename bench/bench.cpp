// SPDX-License-Identifier: MIT
// Whole-program benchmark: mksrec beside the floor (a process that only reads the input and
// writes as many bytes as the S-record file has) and beside binutils' objcopy where it is
// installed, and beside the same program with the portable encoder where the build has a
// vector one, on five workloads. Every run starts with its output removed and the page
// cache written back, so that no run pays for another's truncation or writeback; the order
// of the commands turns by one each round, so that whatever else the machine does falls on
// every command alike. Prints the medians of CPU time (user + system, from wait4) and of
// wall time, their ratios, and mksrec's peak memory: figures, no verdicts.
// Usage: mksrec_bench [rounds]   (TMPDIR picks the file system measured)

#include <sys/resource.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

const char* const mksrec = MKSREC_PATH;
const char* const floorProgram = MKSREC_FLOOR_PATH;
#ifdef MKSREC_PORTABLE_PATH
// The same program with the portable encoder: what each vector path buys, at the counts
// where it differs (1 and 16: kernels; 4 and 8: line()).
const char* const portableProgram = MKSREC_PORTABLE_PATH;
#endif
#ifdef MKSREC_STATIC_PATH
// The same program linked static-pie, as the Linux downloads are: timed on the 64 KiB
// workload, where starting the process is most of the cost.
const char* const staticProgram = MKSREC_STATIC_PATH;
#endif

struct Sample {
    double cpu;  // seconds, user + system
    double wall; // seconds
    long peakKiB;
};

double seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) * 1e-6;
}

// Runs a command with its standard output discarded; exits the benchmark if it fails.
Sample spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (std::freopen("/dev/null", "w", stdout) == nullptr) {
            _exit(126);
        }
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bench: %s failed\n", args[0].c_str());
        std::exit(1);
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return {seconds(usage.ru_utime) + seconds(usage.ru_stime), elapsed.count(), usage.ru_maxrss};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Written a piece at a time: a child's peak memory counts the pages of the benchmark that
// it was forked from, so the benchmark never holds a whole image.
std::string makeImage(const std::filesystem::path& dir, std::size_t bytes) {
    std::mt19937_64 random(bytes); // a fixed seed per size
    std::vector<std::uint64_t> words(std::min<std::size_t>(bytes, std::size_t{64} << 10) / 8);
    std::string path = (dir / ("image" + std::to_string(bytes))).string();
    std::ofstream file(path, std::ios::binary);
    for (std::size_t done = 0; done < bytes; done += words.size() * sizeof words[0]) {
        std::generate(words.begin(), words.end(), std::ref(random));
        file.write(reinterpret_cast<const char*>(words.data()),
                   static_cast<std::streamsize>(words.size() * sizeof words[0]));
    }
    return path;
}

struct Command {
    std::string name;
    std::vector<std::string> args;
    std::string output;
    std::vector<Sample> samples;

    double cpu() const {
        std::vector<double> values;
        for (const Sample& sample : samples) {
            values.push_back(sample.cpu);
        }
        return median(values);
    }
    double wall() const {
        std::vector<double> values;
        for (const Sample& sample : samples) {
            values.push_back(sample.wall);
        }
        return median(values);
    }
    long peak() const {
        std::vector<double> values;
        for (const Sample& sample : samples) {
            values.push_back(static_cast<double>(sample.peakKiB));
        }
        return static_cast<long>(median(values));
    }
};

struct Workload {
    const char* name;
    std::size_t bytes;
    const char* address; // hexadecimal
    int perRecord;
};

// The small workload last: the static program and the peak memory figures take it from there.
const Workload workloads[] = {
    {"16 MiB at 0, 16 bytes a record", std::size_t{16} << 20, "0", 16},
    {"16 MiB at 0, 8 bytes a record", std::size_t{16} << 20, "0", 8},
    {"16 MiB at 0, 4 bytes a record", std::size_t{16} << 20, "0", 4},
    {"16 MiB at 0, 1 byte a record", std::size_t{16} << 20, "0", 1},
    {"64 KiB at 0x10000, 16 bytes a record", std::size_t{64} << 10, "10000", 16},
};

void printMachine() {
    utsname name{};
    if (uname(&name) == 0) {
        std::printf("machine: %s %s %s, %ld cores", name.sysname, name.release, name.machine,
                    sysconf(_SC_NPROCESSORS_ONLN));
    }
    std::ifstream cpuinfo("/proc/cpuinfo");
    for (std::string line; std::getline(cpuinfo, line);) {
        if (line.rfind("model name", 0) == 0) {
            std::printf(", %s", line.substr(line.find(':') + 2).c_str());
            break;
        }
    }
    char date[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(date, sizeof date, "%Y-%m-%d", std::gmtime(&now));
    std::printf("; %s\n", date);
}

} // namespace

int main(int argc, char* argv[]) {
    char* end = nullptr;
    const long rounds = argc > 1 ? std::strtol(argv[1], &end, 10) : 11;
    if (argc > 2 || (argc > 1 && *end != '\0') || rounds < 1 || rounds > 1000) {
        std::fputs("usage: mksrec_bench [rounds]\n", stderr);
        return 2;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/mksrec-bench-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("bench: mkdtemp");
        return 1;
    }
    const std::filesystem::path dir = pattern;
    const bool haveObjcopy = std::system("command -v objcopy >/dev/null") == 0;

    // Up to four commands a workload, in this order: mksrec, floor, objcopy, portable; then
    // the static program on the last workload.
    std::vector<Command> commands;
    for (const Workload& workload : workloads) {
        const std::string image = makeImage(dir, workload.bytes);
        const std::string perRecord = std::to_string(workload.perRecord);
        const std::string out = (dir / "out.srec").string();
        commands.push_back({"mksrec", {mksrec, perRecord, workload.address, image, out}, out, {}});
        commands.push_back({"floor", {floorProgram, perRecord, image, out}, out, {}});
        if (haveObjcopy) {
            commands.push_back(
                {"objcopy",
                 {"objcopy", "-I", "binary", "-O", "srec", "--srec-len=" + perRecord,
                  std::string("--change-addresses=0x") + workload.address, image, out},
                 out,
                 {}});
        }
#ifdef MKSREC_PORTABLE_PATH
        commands.push_back(
            {"portable", {portableProgram, perRecord, workload.address, image, out}, out, {}});
#endif
    }
    const std::size_t perWorkload = commands.size() / std::size(workloads);
#ifdef MKSREC_STATIC_PATH
    {
        Command small = commands[(std::size(workloads) - 1) * perWorkload];
        small.name = "static";
        small.args[0] = staticProgram;
        commands.push_back(small);
    }
#endif

    // Round 0 warms the page cache and is not counted.
    for (long round = 0; round <= rounds; ++round) {
        for (std::size_t i = 0; i < commands.size(); ++i) {
            Command& command = commands[(i + static_cast<std::size_t>(round)) % commands.size()];
            std::filesystem::remove(command.output);
            sync();
            const Sample sample = spawn(command.args);
            if (round > 0) {
                command.samples.push_back(sample);
            }
        }
    }
    std::filesystem::remove_all(dir);

    printMachine();
    std::printf("medians of %ld rounds after a warm-up, order rotated each round, files in %s\n",
                rounds, dir.parent_path().c_str());
    std::printf("CPU = user + system time; floor = read() and write() of as many bytes in "
                "256 KiB blocks\n\n");
    std::printf("%-38s %-8s %9s %9s\n", "workload", "command", "CPU ms", "wall ms");
    for (std::size_t w = 0; w < std::size(workloads); ++w) {
        const Command* first = &commands[w * perWorkload];
        for (std::size_t c = 0; c < perWorkload; ++c) {
            std::printf("%-38s %-8s %9.2f %9.2f\n", c == 0 ? workloads[w].name : "",
                        first[c].name.c_str(), first[c].cpu() * 1e3, first[c].wall() * 1e3);
        }
        std::printf("%-38s mksrec/floor   CPU %.2f  wall %.2f\n", "",
                    first[0].cpu() / first[1].cpu(), first[0].wall() / first[1].wall());
        if (haveObjcopy) {
            std::printf("%-38s mksrec/objcopy CPU %.2f  wall %.2f\n", "",
                        first[0].cpu() / first[2].cpu(), first[0].wall() / first[2].wall());
        }
#ifdef MKSREC_PORTABLE_PATH
        const Command& portable = first[perWorkload - 1];
        std::printf("%-38s mksrec/portable CPU %.2f  wall %.2f\n", "",
                    first[0].cpu() / portable.cpu(), first[0].wall() / portable.wall());
#endif
    }
#ifdef MKSREC_STATIC_PATH
    const Command& dynamic = commands[(std::size(workloads) - 1) * perWorkload];
    const Command& linkedStatic = commands.back();
    std::printf("%-38s %-8s %9.2f %9.2f\n", "", "static", linkedStatic.cpu() * 1e3,
                linkedStatic.wall() * 1e3);
    std::printf("%-38s static/mksrec  CPU %.2f  wall %.2f\n", "",
                linkedStatic.cpu() / dynamic.cpu(), linkedStatic.wall() / dynamic.wall());
#endif
    if (!haveObjcopy) {
        std::printf("objcopy not found: not timed\n");
    }
    const long small = commands[(std::size(workloads) - 1) * perWorkload].peak();
    const long large = commands[0].peak();
    std::printf(
        "\nmksrec peak memory (median max RSS): 64 KiB input %ld KiB, 16 MiB input %ld KiB, "
        "difference %ld KiB\n",
        small, large, large - small);
    return 0;
}

// Whole-program benchmark: mksrec against binutils' objcopy and against the floor (a
// process that only moves the same bytes), in one interleaved run on generated images.
// Prints median wall times, their ratios, the cost per MiB and mksrec's peak memory.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int rounds = 9;
const char* const mksrec = MKSREC_PATH;
const char* const floorProgram = MKSREC_FLOOR_PATH;

struct Sample {
    double seconds;
    long peakKiB;
};

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
    return {elapsed.count(), usage.ru_maxrss};
}

double median(std::vector<Sample> samples) {
    std::sort(samples.begin(), samples.end(),
              [](const Sample& a, const Sample& b) { return a.seconds < b.seconds; });
    return samples[samples.size() / 2].seconds;
}

long peak(const std::vector<Sample>& samples) {
    long most = 0;
    for (const Sample& sample : samples) {
        most = std::max(most, sample.peakKiB);
    }
    return most;
}

std::string makeImage(const std::filesystem::path& dir, unsigned mebibytes) {
    std::mt19937_64 random(mebibytes); // a fixed seed per size
    std::vector<std::uint64_t> words(mebibytes * 1024u * 1024u / 8u);
    std::generate(words.begin(), words.end(), std::ref(random));
    std::string path = (dir / ("image" + std::to_string(mebibytes))).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(words.data()),
               static_cast<std::streamsize>(words.size() * sizeof words[0]));
    return path;
}

} // namespace

int main() {
    // TMPDIR picks the file system measured: a disk's page cache by default, tmpfs when
    // TMPDIR=/dev/shm.
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/mksrec-bench-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("bench: mkdtemp");
        return 1;
    }
    const std::filesystem::path dir = pattern;
    const std::string out = (dir / "out.srec").string();
    const std::string image1 = makeImage(dir, 1), image4 = makeImage(dir, 4),
                      image16 = makeImage(dir, 16);
    const bool haveObjcopy = std::system("command -v objcopy >/dev/null") == 0;
    // The fresh images would otherwise be written back to the disk in the middle of the
    // timed runs, taking a core from whichever command runs then.
    sync();

    struct Command {
        const char* name;
        std::vector<std::string> args;
        std::vector<Sample> samples;
    };
    std::vector<Command> commands = {
        {"mksrec 16 MiB", {mksrec, "16", "0", image16, out}, {}},
        {"floor 16 MiB", {floorProgram, "16", image16, out}, {}},
        {"mksrec 1 MiB", {mksrec, "16", "0", image1, out}, {}},
        {"mksrec 4 MiB", {mksrec, "16", "0", image4, out}, {}},
    };
    if (haveObjcopy) {
        commands.push_back({"objcopy 16 MiB",
                            {"objcopy", "-I", "binary", "-O", "srec", "--srec-len=16", image16,
                             (dir / "out2.srec").string()},
                            {}});
    }
    // Round 0 warms the page cache and is not counted; the rest take turns, so that
    // whatever else the machine does falls on every command alike.
    for (int round = 0; round <= rounds; ++round) {
        for (Command& command : commands) {
            // Each run creates its output afresh: truncating the last run's 48 MB would
            // charge one command for another's pages.
            std::filesystem::remove(out);
            std::filesystem::remove(dir / "out2.srec");
            const Sample sample = spawn(command.args);
            if (round > 0) {
                command.samples.push_back(sample);
            }
        }
    }
    std::printf("median wall time of %d runs after a warm-up, 16 bytes a record, files in %s\n",
                rounds, dir.parent_path().c_str());
    for (const Command& command : commands) {
        std::printf("  %-16s %8.4f s   peak %6ld KiB\n", command.name, median(command.samples),
                    peak(command.samples));
    }
    const double mk16 = median(commands[0].samples), floor16 = median(commands[1].samples);
    if (haveObjcopy) {
        std::printf("mksrec/objcopy   %6.2f   (target <= 0.45)\n",
                    mk16 / median(commands[4].samples));
    } else {
        std::printf("mksrec/objcopy   objcopy not found\n");
    }
    std::printf("mksrec/floor     %6.2f   (target <= 1.8, aim 1.4)\n", mk16 / floor16);
    const double mk1 = median(commands[2].samples), mk4 = median(commands[3].samples);
    std::printf("mksrec per MiB   1 MiB: %.2f ms   4 MiB: %.2f ms   16 MiB: %.2f ms\n", mk1 * 1e3,
                mk4 * 1e3 / 4, mk16 * 1e3 / 16);
    // Past the fixed cost of starting a process, each further MiB should cost the same.
    std::printf("mksrec per further MiB   1 -> 4 MiB: %.2f ms   4 -> 16 MiB: %.2f ms\n",
                (mk4 - mk1) * 1e3 / 3, (mk16 - mk4) * 1e3 / 12);
    std::printf("mksrec peak memory growth 1 -> 16 MiB: %ld KiB   (target < 1024)\n",
                peak(commands[0].samples) - peak(commands[2].samples));
    std::filesystem::remove_all(dir);
    return 0;
}

// Start to first painted window: the program with ten demo boards against a minimal Qt Widgets program
// (and, for scale, the smallest one that shows text), each launched as a fresh process the same way,
// alternately, several times. Prints the median and the best of each and their ratios, and for the
// program also the time until every board's tab is built.
//
//   bench_startup [--runs N]     (QT_QPA_PLATFORM is passed on; offscreen when unset)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds from launch to the "painted" line and, when asked for, to the "ready" line that follows
// it; negative for a line that never came.
struct Times {
    double painted = -1;
    double ready = -1;
};

Times Launch(const std::string& program, const std::vector<std::string>& args, bool untilReady) {
    Times times;
    int out[2];
    if (pipe(out) != 0)
        return times;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        return times;
    }
    std::string text;
    pollfd fd{out[0], POLLIN, 0};
    while (poll(&fd, 1, 30000) > 0) {
        char buffer[256];
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
        const double now = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (times.painted < 0 && text.find("painted") != std::string::npos)
            times.painted = now;
        if (times.ready < 0 && text.find("ready") != std::string::npos)
            times.ready = now;
        if (times.painted >= 0 && (!untilReady || times.ready >= 0))
            break;
    }
    close(out[0]);
    kill(pid, SIGKILL); // normally gone already
    int status = 0;
    waitpid(pid, &status, 0);
    return times;
}

// Empties the program's runtime folder: the next launch finds no lock left by the last one, which ended
// without releasing it, as a start after a normal exit finds none.
void ClearFolder(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = readdir(dir))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            unlink((folder + "/" + entry->d_name).c_str());
    closedir(dir);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    int runs = 10;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[++i]));
    const std::string self = argv[0];
    const std::string dir = self.substr(0, self.rfind('/') + 1);

    setenv("QT_QPA_PLATFORM", getenv("QT_QPA_PLATFORM") ? getenv("QT_QPA_PLATFORM") : "offscreen", 1);
    std::string boards;
    for (int b = 0; b < 10; ++b)
        boards += (b ? "," : "") + std::string("0x310:") + std::to_string(100 + b) + ":8";
    setenv("VELTRIN_SIM_BOARDS", boards.c_str(), 1);
    // Its own single-instance name, so a copy of the program already running elsewhere does not answer.
    setenv("USER", ("veltrin-startup-bench-" + std::to_string(getpid())).c_str(), 1);

    // A runtime folder of its own in memory, as a desktop session gives one (its lock file is written
    // through to the disk otherwise); the single-instance socket goes there too, as the temporary folder.
    char runtime[] = "/dev/shm/veltrin-startup-bench-XXXXXX";
    char fallback[] = "/tmp/veltrin-startup-bench-XXXXXX";
    const char* folder = mkdtemp(runtime);
    if (!folder)
        folder = mkdtemp(fallback);
    if (!folder) {
        std::perror("bench_startup: runtime folder");
        return 1;
    }
    setenv("XDG_RUNTIME_DIR", folder, 1);
    setenv("TMPDIR", folder, 1);

    std::vector<double> minimal, hello, program, ready;
    for (int r = 0; r < runs; ++r) {
        minimal.push_back(Launch(dir + "bench_startup_minimal", {}, false).painted);
        hello.push_back(Launch(dir + "bench_startup_hello", {}, false).painted);
        const Times times = Launch(dir + "bench_startup_program", {"--demo"}, true);
        ClearFolder(folder);
        program.push_back(times.painted);
        ready.push_back(times.ready);
        if (minimal.back() < 0 || hello.back() < 0 || program.back() < 0 || ready.back() < 0) {
            std::fprintf(stderr, "run %d: a window was never painted or never got all its tabs\n", r);
            rmdir(folder);
            return 1;
        }
    }
    rmdir(folder);
    const double m = Median(minimal), h = Median(hello), p = Median(program);
    auto best = [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); };
    std::printf("start to first painted window, %d runs each (median / best)\n", runs);
    std::printf("minimal Qt Widgets program   %.0f / %.0f ms\n", m, best(minimal));
    std::printf("hello world (one label)      %.0f / %.0f ms\n", h, best(hello));
    std::printf("program, ten demo boards     %.0f / %.0f ms\n", p, best(program));
    std::printf("ratio (medians)              %.2f (goal <= 2); to the hello world %.2f\n", p / m, p / h);
    std::printf("program, every tab built     %.0f / %.0f ms\n", Median(ready), best(ready));
    return 0;
}

#include "Support/LoopbackHttpsServer.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>

extern char** environ;

namespace marlowick::test {
namespace {

const std::filesystem::path script =
    std::filesystem::path(MARLOWICK_TEST_SOURCE_DIR) / "Support" / "loopback-https-server.py";

void run(const std::string& command) {
    const CommandOutput result = runCommand(command);
    if (result.exitCode != 0) throw std::runtime_error(command + " failed: " + result.output);
}

std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

// A self-signed P-256 CA certificate and its key, as "<name>.pem" and "<name>.key".
void makeCa(const std::filesystem::path& folder, const std::string& name) {
    run("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj '/CN=" + name +
        "' -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign -keyout " +
        quoted(folder / (name + ".key")) + " -out " + quoted(folder / (name + ".pem")) + " 2>&1");
}

// Reads the "PORT <n>" line the server prints once it listens; 0 when none comes in time.
int readPort(int fd) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return 0;
        pollfd entry{.fd = fd, .events = POLLIN, .revents = 0};
        if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0) return 0;
        char buffer[64];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) return 0;
        line.append(buffer, static_cast<std::size_t>(got));
    }
    if (!line.starts_with("PORT ")) return 0;
    return std::stoi(line.substr(5));
}

}  // namespace

bool LoopbackHttpsServer::available() { return hasTool("openssl") && hasTool("python3"); }

LoopbackHttpsServer::LoopbackHttpsServer() {
    const std::filesystem::path base = folder.path();
    std::filesystem::create_directory(root());
    makeCa(base, "test-ca");
    makeCa(base, "stranger-ca");
    {
        std::ofstream extensions(base / "server.ext");
        extensions << "subjectAltName=DNS:" << archiveHost << ",DNS:" << mirrorHost << ",DNS:" << contentHost
                   << "\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n";
    }
    run("openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj '/CN=" + std::string(archiveHost) +
        "' -keyout " + quoted(base / "server.key") + " -out " + quoted(base / "server.csr") + " 2>&1");
    run("openssl x509 -req -days 2 -in " + quoted(base / "server.csr") + " -CA " + quoted(base / "test-ca.pem") +
        " -CAkey " + quoted(base / "test-ca.key") + " -CAcreateserial -extfile " + quoted(base / "server.ext") +
        " -out " + quoted(base / "server.pem") + " 2>&1");

    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    const std::string log = (base / "server.log").string();
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const std::string cert = (base / "server.pem").string();
    const std::string key = (base / "server.key").string();
    const std::string served = root().string();
    const std::string program = script.string();
    // Debian's interpreter when present: a shim first on PATH may take a second to start.
    const char* python = std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    std::vector<char*> argv{const_cast<char*>(python), const_cast<char*>(program.c_str()),
                            const_cast<char*>(cert.c_str()), const_cast<char*>(key.c_str()),
                            const_cast<char*>(served.c_str()), nullptr};
    const int spawned = ::posix_spawnp(&pid, python, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    if (spawned != 0) {
        ::close(output[0]);
        pid = -1;
        throw std::runtime_error("cannot start python3");
    }
    listeningPort = readPort(output[0]);
    ::close(output[0]);
    if (listeningPort == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        pid = -1;
        std::ifstream logFile(log);
        throw std::runtime_error("the loopback HTTPS server did not start: " +
                                 std::string(std::istreambuf_iterator<char>(logFile), {}));
    }
}

LoopbackHttpsServer::~LoopbackHttpsServer() {
    if (pid > 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
}

void LoopbackHttpsServer::serve(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    std::filesystem::create_directories((root() / name).parent_path());
    writeFile(root() / name, bytes);
}

std::string LoopbackHttpsServer::url(const std::string& host, const std::string& path) {
    return "https://" + host + path;
}

CurlHttpsClient::Options LoopbackHttpsServer::clientOptions() const {
    CurlHttpsClient::Options options{.caFile = folder.path() / "test-ca.pem", .connectTo = {}};
    for (const char* host : {archiveHost, mirrorHost, contentHost, unnamedHost}) {
        options.connectTo[std::string(host) + ":443"] = "127.0.0.1:" + std::to_string(listeningPort);
    }
    return options;
}

CurlHttpsClient::Options LoopbackHttpsServer::strangerOptions() const {
    CurlHttpsClient::Options options = clientOptions();
    options.caFile = folder.path() / "stranger-ca.pem";
    return options;
}

}  // namespace marlowick::test

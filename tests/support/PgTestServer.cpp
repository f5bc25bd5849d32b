#include "tests/support/PgTestServer.h"

#include "tests/support/ProgramRun.h"

#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace quello::test {

namespace {

// Where Debian keeps the server's programs, as pg_config (libpq-dev) says.
std::string ServerBinaries() {
    const ProgramResult result = RunProgram({"pg_config", "--bindir"});
    std::string bin = result.out.substr(0, result.out.find('\n'));
    if (result.exitCode != 0 || bin.empty())
        bin = "/usr/lib/postgresql/15/bin";
    return bin;
}

std::string Tail(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    const std::string all = text.str();
    return all.size() > 2000 ? all.substr(all.size() - 2000) : all;
}

} // namespace

PgTestServer::PgTestServer() : m_bin(ServerBinaries()) {
    // Short: the server's socket path must fit in 107 bytes.
    std::string folder = "/tmp/quello-pg-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
        m_error = "cannot make a temporary folder in /tmp";
        return;
    }
    m_folder = folder;
    if (::geteuid() == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        if (!nobody || ::chown(m_folder.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
            m_error = "running as root, and the folder cannot be given to the user nobody";
            return;
        }
        m_runAs = "runuser -u nobody -- ";
    }
    const std::string data = m_folder + "/data";
    m_running = Run("initdb", m_bin + "/initdb -D " + data +
                                  " -A trust -U quello -E UTF8 --locale=C --no-sync") &&
                Start();
    if (!m_running)
        m_error += "\nserver log: " + Tail(m_folder + "/server.log");
}

std::string PgTestServer::StartCommand() const {
    return m_bin + "/pg_ctl -D " + m_folder + "/data -l " + m_folder +
           "/server.log -w -t 60 -o '-k " + m_folder + " -c listen_addresses= -c fsync=off' start";
}

bool PgTestServer::Start() {
    return m_running = Run("pg_ctl start", StartCommand());
}

std::string PgTestServer::StopCommand() const {
    return m_runAs + m_bin + "/pg_ctl -D " + m_folder + "/data -m immediate -w stop";
}

bool PgTestServer::CreateDatabase(const std::string& database, const std::string& owner) {
    return Run("createdb",
               m_bin + "/createdb -h " + m_folder + " -U quello -O " + owner + " " + database);
}

bool PgTestServer::CreateUser(const std::string& user) {
    return Run("createuser", m_bin + "/createuser -h " + m_folder + " -U quello " + user);
}

PgTestServer::~PgTestServer() {
    if (RunProgram({"sh", "-c", m_runAs + m_bin + "/pg_ctl -D " + m_folder + "/data status"})
            .exitCode == 0)
        RunProgram({"sh", "-c", StopCommand()});
    if (!m_folder.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_folder, ec);
    }
}

std::string PgTestServer::Url(const std::string& database, const std::string& user) const {
    std::string host;
    for (const char c : m_folder)
        host += c == '/' ? std::string("%2F") : std::string(1, c);
    return "postgresql://" + user + "@/" + database + "?host=" + host;
}

bool PgTestServer::Run(const std::string& step, const std::string& command) {
    const ProgramResult result = RunProgram({"sh", "-c", m_runAs + command});
    if (result.exitCode == 0)
        return true;
    m_error =
        step + " failed (exit " + std::to_string(result.exitCode) + "): " + result.err + result.out;
    return false;
}

} // namespace quello::test

#pragma once

#include <string>

namespace quello::test {

// A PostgreSQL server of the test's own, from Debian's postgresql-15: initdb and pg_ctl in a
// temporary folder, the server listening on a Unix socket in that folder only (no TCP port),
// trusting its one user `quello`. A server refuses to run as root, so when the tests do, the
// folder is handed to the user `nobody` and the server runs as that user. The destructor stops
// the server and removes the folder. Test helper; not thread-safe.
class PgTestServer {
public:
    PgTestServer();
    ~PgTestServer();
    PgTestServer(const PgTestServer&) = delete;
    PgTestServer& operator=(const PgTestServer&) = delete;

    // Whether the server runs; when not, error() says which step failed and what it printed.
    bool ok() const { return m_running; }
    const std::string& error() const { return m_error; }
    // postgresql://USER@/DATABASE?host=FOLDER: the database `database` on this server.
    std::string Url(const std::string& database, const std::string& user = "quello") const;
    // Makes a database owned by `owner`, or a user of no privileges (not a superuser, no right
    // to make databases or users); false with error() set.
    bool CreateDatabase(const std::string& database, const std::string& owner = "quello");
    bool CreateUser(const std::string& user);
    // The shell command that stops the server at once (a server that goes away), and the start
    // that brings it back with its data.
    std::string StopCommand() const;
    bool Start();

private:
    bool Run(const std::string& step, const std::string& command);
    std::string StartCommand() const;

    std::string m_folder;
    std::string m_bin;
    std::string m_runAs; // "runuser -u nobody -- " when the tests run as root
    bool m_running = false;
    std::string m_error;
};

} // namespace quello::test

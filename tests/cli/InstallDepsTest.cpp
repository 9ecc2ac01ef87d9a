// scripts/install-deps.sh run against stand-ins for id, dpkg-query, sudo and apt-get that record
// what they are asked, so every way of becoming root is tried whoever runs the tests.
#include <sys/stat.h>

#include "CliTestSupport.h"

namespace quintor::cli::test {
namespace {

struct FakeSystem {
    TempDir dir;
    const std::string bin = dir.file("bin"), sudoBin = dir.file("sudo-bin"), log = dir.file("log");
    FakeSystem() {
        fs::create_directories(bin);
        fs::create_directories(sudoBin);
        Script(bin + "/id", "[ \"$1\" = -u ] && echo \"$FAKE_UID\"");
        // Installed unless named in FAKE_MISSING; the package is the last argument.
        Script(bin + "/dpkg-query",
               "for p; do :; done\n"
               "for m in $FAKE_MISSING; do [ \"$m\" = \"$p\" ] && { echo \"no $p\" >&2; exit 1; }; done\n"
               "printf 'install ok installed'");
        Script(bin + "/apt-get", "echo \"apt-get $* [frontend=${DEBIAN_FRONTEND:-unset}]\" >>\"$LOG\"");
        // Like the real one, sudo hands the command a cleaned environment.
        Script(sudoBin + "/sudo", "echo \"sudo $*\" >>\"$LOG\"\nexec /usr/bin/env -i PATH=\"$PATH\" LOG=\"$LOG\" \"$@\"");
        fs::create_symlink("/usr/bin/env", bin + "/env");
    }
    static void Script(const std::string& path, const std::string& body) {
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        ::chmod(path.c_str(), 0755);
    }
    // Runs the script as user uid with the missing packages; sudo only when withSudo.
    RunResult Run(int uid, const std::string& missing, bool withSudo) const {
        fs::remove(log);
        const std::string path = bin + (withSudo ? ":" + sudoBin : "");
        const std::string cmd = "/usr/bin/env -i PATH='" + path + "' LOG='" + log + "' FAKE_UID=" + std::to_string(uid) +
                                " FAKE_MISSING='" + missing + "' /bin/bash '" QUINTOR_SOURCE_DIR "/scripts/install-deps.sh' >'" +
                                dir.file("out") + "' 2>'" + dir.file("err") + "'";
        const int status = std::system(cmd.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(dir.file("out")), ReadFile(dir.file("err"))};
    }
};

TEST(InstallDeps, InstallsOnlyWhatIsMissingAsRootThroughSudoOrSaysHow) {
    FakeSystem f;
    const std::string update = "apt-get update -qq [frontend=noninteractive]\n";
    const std::string install = "apt-get install -y -qq --no-install-recommends libcli11-dev xvfb [frontend=noninteractive]\n";
    // Nothing missing: nothing asked of apt-get, nothing said.
    RunResult r = f.Run(1000, "", false);
    EXPECT_TRUE(r.rc == 0 && r.out.empty() && r.err.empty() && !fs::exists(f.log)) << r.err;
    // As root: apt-get itself, for the missing packages only, without questions.
    r = f.Run(0, "libcli11-dev xvfb", true);
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(ReadFile(f.log), update + install);
    // Another user with sudo: the frontend survives sudo's cleaned environment.
    r = f.Run(1000, "libcli11-dev xvfb", true);
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(ReadFile(f.log), "sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq\n" + update +
                                   "sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "
                                   "--no-install-recommends libcli11-dev xvfb\n" + install);
    // Without sudo: what is missing and the one command to type as root, and a failure.
    r = f.Run(1000, "libcli11-dev xvfb", false);
    EXPECT_NE(r.rc, 0);
    EXPECT_FALSE(fs::exists(f.log));
    EXPECT_TRUE(Contains(r.err, "missing: libcli11-dev xvfb\n") &&
                Contains(r.err, "\n  apt-get install --no-install-recommends libcli11-dev xvfb\n")) << r.err;
}

}  // namespace
}  // namespace quintor::cli::test

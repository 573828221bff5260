// A stand-in for pkexec in the tests, after an authentication that succeeded: it runs the
// capture helper it is given as root (when a test as root has installed a copy of it setuid
// root) with an empty environment but PKEXEC_UID, as pkexec does. Without the setuid bit it runs
// the helper as the caller. It runs nothing but TARNWATCH_RECORD --capture-helper, so a copy
// left setuid runs nothing a user could not have run through the polkit action itself.
#include <grp.h>
#include <unistd.h>

#include <cstring>
#include <string>

int main(int argc, char** argv) {
  if (argc < 3 || std::strcmp(argv[1], TARNWATCH_RECORD) != 0 ||
      std::strcmp(argv[2], "--capture-helper") != 0)
    return 127;
  const uid_t caller = ::getuid();
  if (::geteuid() == 0 &&
      (::setgroups(0, nullptr) != 0 || ::setresgid(0, 0, 0) != 0 || ::setresuid(0, 0, 0) != 0))
    return 127;
  std::string uid = "PKEXEC_UID=" + std::to_string(caller);
  char* env[] = {uid.data(), nullptr};
  ::execve(argv[1], argv + 1, env);
  return 127;
}

#ifndef MARLOWICK_PIPEDSPAWN_H
#define MARLOWICK_PIPEDSPAWN_H
/*
 * Starts the helper program as a child process joined to its parent by two pipes: the
 * child's standard input and standard output. Standard error is inherited. No other
 * descriptor of the parent reaches the child, whether or not it was opened close-on-exec,
 * so a drive or a socket the parent holds never leaks into a process that may run as root.
 *
 * The same call starts the helper directly (the caller already has the rights) and through
 * pkexec (argv = { pkexec, helper, NULL }), which asks polkit for administrator rights.
 *
 * The child starts with an empty signal mask and SIGPIPE at its default action, whatever
 * the calling thread blocks or the parent ignores: a child that outlives its reader must die
 * of, or see, the broken pipe rather than write into it forever.
 */

#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

struct mw_piped_child {
    pid_t pid;
    int input;  /* write end: the child's standard input; close-on-exec */
    int output; /* read end: the child's standard output; close-on-exec */
};

/*
 * Starts `path` with the NULL-terminated `argv` and the parent's environment. Returns 0 and
 * fills `child`, or an errno value (ENOENT, EACCES, ENOEXEC, EMFILE, …) and leaves `child`
 * untouched with no descriptor left open. A program that cannot be executed is reported
 * here, not as an exit status.
 */
int mw_spawn_piped(const char *path, char *const argv[], struct mw_piped_child *child);

/*
 * Waits for the child to end, retrying on EINTR. Returns 0 and the wait status in
 * `status`, or an errno value.
 */
int mw_wait_child(pid_t pid, int *status);

#ifdef __cplusplus
}
#endif

#endif

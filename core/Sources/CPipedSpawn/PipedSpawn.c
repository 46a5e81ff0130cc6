#define _GNU_SOURCE
#include "PipedSpawn.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

/*
 * Moves a fresh pipe end above the three standard descriptors. With one of them closed in
 * the parent, pipe2 could hand out 0, 1 or 2, and the child's dup2 of one end onto its
 * standard input or output would then clobber the other end.
 */
static int lift_above_stdio(int *fd)
{
    if (*fd > STDERR_FILENO) return 0;
    const int lifted = fcntl(*fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (lifted < 0) return errno;
    close(*fd);
    *fd = lifted;
    return 0;
}

static void close_all(int *fds, int count)
{
    for (int i = 0; i < count; ++i) {
        if (fds[i] >= 0) close(fds[i]);
        fds[i] = -1;
    }
}

static int make_pipes(int fds[4])
{
    if (pipe2(&fds[0], O_CLOEXEC) != 0) return errno;
    if (pipe2(&fds[2], O_CLOEXEC) != 0) return errno;
    for (int i = 0; i < 4; ++i) {
        const int error = lift_above_stdio(&fds[i]);
        if (error != 0) return error;
    }
    return 0;
}

int mw_spawn_piped(const char *path, char *const argv[], struct mw_piped_child *child)
{
    /* [0] child's stdin (read end), [1] our write end, [2] our read end, [3] child's stdout. */
    int fds[4] = {-1, -1, -1, -1};
    int error = make_pipes(fds);
    if (error != 0) {
        close_all(fds, 4);
        return error;
    }

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if ((error = posix_spawn_file_actions_init(&actions)) != 0) {
        close_all(fds, 4);
        return error;
    }
    if ((error = posix_spawnattr_init(&attributes)) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        close_all(fds, 4);
        return error;
    }

    sigset_t emptyMask;
    sigset_t defaultActions;
    sigemptyset(&emptyMask);
    sigemptyset(&defaultActions);
    sigaddset(&defaultActions, SIGPIPE);
    if (error == 0) error = posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    if (error == 0) error = posix_spawn_file_actions_adddup2(&actions, fds[3], STDOUT_FILENO);
    /* Everything from 3 up, including descriptors another thread opened without O_CLOEXEC. */
    if (error == 0) error = posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    if (error == 0) error = posix_spawnattr_setsigmask(&attributes, &emptyMask);
    if (error == 0) error = posix_spawnattr_setsigdefault(&attributes, &defaultActions);
    if (error == 0) error = posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    /* glibc reports a failed exec (missing file, no permission) as posix_spawn's own result. */
    if (error == 0) error = posix_spawn(&pid, path, &actions, &attributes, argv, environ);

    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[0]);
    close(fds[3]);
    fds[0] = fds[3] = -1;
    if (error != 0) {
        close_all(fds, 4);
        return error;
    }
    child->pid = pid;
    child->input = fds[1];
    child->output = fds[2];
    return 0;
}

int mw_wait_child(pid_t pid, int *status)
{
    for (;;) {
        if (waitpid(pid, status, 0) == pid) return 0;
        if (errno != EINTR) return errno;
    }
}

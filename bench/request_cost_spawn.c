/* Starts a CGI program COUNT times, one after the other, the way a web server does: a clean
   environment holding only the given CGI variables, standard input from /dev/null and standard
   output into a pipe that is read to the end. Prints the mean wall time per request (start to
   exit) and the mean CPU time the program used (user + system), in microseconds:

     request_cost_spawn COUNT PROGRAM [NAME=VALUE ...]
     -> "wall_us cpu_us" on one line

   A run in which the program fails (non-zero exit or signal) stops with status 1. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double now_us(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

static double tv_us(struct timeval t) { return t.tv_sec * 1e6 + t.tv_usec; }

/* One request: returns 0 and adds its times, or -1 when the program failed. */
static int run_once(const char *program, char **env, double *wall, double *cpu) {
  int out[2];
  if (pipe(out) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, out[1]);

  char *argv[] = {(char *)program, NULL};
  double start = now_us();
  pid_t pid;
  int failed = posix_spawn(&pid, program, &actions, NULL, argv, env);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (failed) {
    close(out[0]);
    return -1;
  }
  char buffer[65536];
  while (read(out[0], buffer, sizeof buffer) > 0) {
  }
  close(out[0]);
  int status;
  struct rusage usage;
  if (wait4(pid, &status, 0, &usage) != pid) return -1;
  *wall += now_us() - start;
  *cpu += tv_us(usage.ru_utime) + tv_us(usage.ru_stime);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : -1;
}

int main(int argc, char **argv) {
  if (argc < 3 || atoi(argv[1]) < 1) {
    fprintf(stderr, "usage: %s COUNT PROGRAM [NAME=VALUE ...]\n", argv[0]);
    return 2;
  }
  int count = atoi(argv[1]);
  const char *program = argv[2];
  char **env = argv + 3; /* argv ends in NULL, so this is a ready environment */

  double wall = 0, cpu = 0;
  /* A few untimed runs first, so that the program's pages are in the page cache. */
  for (int i = 0; i < 20; i++) {
    if (run_once(program, env, &wall, &cpu) != 0) {
      fprintf(stderr, "%s failed\n", program);
      return 1;
    }
  }
  wall = cpu = 0;
  for (int i = 0; i < count; i++) {
    if (run_once(program, env, &wall, &cpu) != 0) {
      fprintf(stderr, "%s failed\n", program);
      return 1;
    }
  }
  printf("%.1f %.1f\n", wall / count, cpu / count);
  return 0;
}

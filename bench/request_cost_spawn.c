/* Starts two CGI programs COUNT times each, alternating, the way a web server starts them: a
   clean environment holding only the given CGI variables, standard input from /dev/null and
   standard output into a pipe that is read to the end. Alternating keeps both programs under
   the same load from whatever else runs on the machine.

     request_cost_spawn COUNT PROGRAM_A PROGRAM_B [NAME=VALUE ...]

   prints one line per program: "wall_us cpu_us faults", the median wall time of a request
   (start to exit), the median CPU time the program used (user + system) and the mean number
   of page faults it took. Medians, because a busy machine adds rare long outliers. A run in
   which a program fails (non-zero exit or signal) stops with status 1. */
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

struct Sample {
  double wall_us;
  double cpu_us;
  long faults;
};

static double now_us(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

static double tv_us(struct timeval t) { return t.tv_sec * 1e6 + t.tv_usec; }

/* One request; returns 0, or -1 when the program could not start or failed. */
static int run_once(const char *program, char **env, struct Sample *sample) {
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
  sample->wall_us = now_us() - start;
  sample->cpu_us = tv_us(usage.ru_utime) + tv_us(usage.ru_stime);
  sample->faults = usage.ru_minflt + usage.ru_majflt;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : -1;
}

static int by_value(const void *a, const void *b) {
  double x = *(const double *)a, y = *(const double *)b;
  return (x > y) - (x < y);
}

static double median(double *values, int count) {
  qsort(values, count, sizeof *values, by_value);
  return count % 2 ? values[count / 2] : (values[count / 2 - 1] + values[count / 2]) / 2;
}

static void report(const struct Sample *samples, int count, double *scratch) {
  double faults = 0;
  for (int i = 0; i < count; i++) {
    scratch[i] = samples[i].wall_us;
    faults += samples[i].faults;
  }
  double wall = median(scratch, count);
  for (int i = 0; i < count; i++) scratch[i] = samples[i].cpu_us;
  printf("%.1f %.1f %.1f\n", wall, median(scratch, count), faults / count);
}

int main(int argc, char **argv) {
  if (argc < 4 || atoi(argv[1]) < 1) {
    fprintf(stderr, "usage: %s COUNT PROGRAM_A PROGRAM_B [NAME=VALUE ...]\n", argv[0]);
    return 2;
  }
  int count = atoi(argv[1]);
  const char *programs[2] = {argv[2], argv[3]};
  char **env = argv + 4; /* argv ends in NULL, so this is a ready environment */

  struct Sample *samples[2] = {calloc(count, sizeof(struct Sample)),
                               calloc(count, sizeof(struct Sample))};
  double *scratch = calloc(count, sizeof(double));
  if (!samples[0] || !samples[1] || !scratch) return 1;

  /* Untimed runs first, so that both programs are in the page cache. */
  for (int i = 0; i < 40; i++) {
    if (run_once(programs[i % 2], env, &samples[0][0]) != 0) {
      fprintf(stderr, "%s failed\n", programs[i % 2]);
      return 1;
    }
  }
  for (int i = 0; i < 2 * count; i++) {
    int which = i % 2;
    if (run_once(programs[which], env, &samples[which][i / 2]) != 0) {
      fprintf(stderr, "%s failed\n", programs[which]);
      return 1;
    }
  }
  report(samples[0], count, scratch);
  report(samples[1], count, scratch);
  return 0;
}

#define _POSIX_C_SOURCE 200809L

#include "tests/capi/c_check.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int failures = 0;

void check(int ok, int line, const char* what) {
  if (!ok) {
    fprintf(stderr, "line %d: check failed: %s\n", line, what);
    ++failures;
  }
}

void check_text(const char* actual, const char* expected, int line, const char* what) {
  if (actual != NULL && strcmp(actual, expected) == 0) {
    return;
  }
  fprintf(stderr, "line %d: %s\n--- expected:\n%s\n--- actual:\n%s\n---\n", line, what, expected,
          actual != NULL ? actual : "(null)");
  ++failures;
}

char* read_file(const char* path) {
  FILE* file = fopen(path, "rb");
  char* text;
  long length;
  if (file == NULL) {
    return NULL;
  }
  fseek(file, 0, SEEK_END);
  length = ftell(file);
  rewind(file);
  text = malloc((size_t)length + 1);
  if (text != NULL) {
    text[fread(text, 1, (size_t)length, file)] = '\0';
  }
  fclose(file);
  return text;
}

/* The library writes its files in text mode: on Windows every line feed of
 * `expected` is stored as CR LF. */
void check_file(const char* path, const char* expected, int line) {
  char* text = read_file(path);
#if defined(_WIN32)
  char* stored = malloc(2 * strlen(expected) + 1);
  size_t at = 0;
  for (; stored != NULL && *expected != '\0'; ++expected) {
    if (*expected == '\n') {
      stored[at++] = '\r';
    }
    stored[at++] = *expected;
  }
  if (stored != NULL) {
    stored[at] = '\0';
  }
  check_text(text, stored != NULL ? stored : "(out of memory)", line, path);
  free(stored);
#else
  check_text(text, expected, line, path);
#endif
  free(text);
}

int file_exists(const char* path) {
  return access(path, F_OK) == 0;
}

static FILE* capture_file = NULL;
static int saved_stdout = -1;

void capture_begin(void) {
  fflush(stdout);
  capture_file = tmpfile();
  saved_stdout = dup(STDOUT_FILENO);
  if (capture_file == NULL || saved_stdout < 0 || dup2(fileno(capture_file), STDOUT_FILENO) < 0) {
    perror("capturing standard output");
    exit(100);
  }
}

const char* capture_end(void) {
  static char text[4096];
  size_t length;
  fflush(stdout);
  dup2(saved_stdout, STDOUT_FILENO);
  close(saved_stdout);
  rewind(capture_file);
  length = fread(text, 1, sizeof(text) - 1, capture_file);
  text[length] = '\0';
  fclose(capture_file);
  return text;
}

int run_test_group(int argc, char** argv, const struct test_group* groups, size_t count) {
  size_t i;
  for (i = 0; i < count; ++i) {
    if (argc == 2 && strcmp(argv[1], groups[i].name) == 0) {
      groups[i].run();
      return failures < 100 ? failures : 100;
    }
  }
  fprintf(stderr, "usage: %s <group>; groups:", argv[0]);
  for (i = 0; i < count; ++i) {
    fprintf(stderr, " %s", groups[i].name);
  }
  fprintf(stderr, "\n");
  return 100;
}

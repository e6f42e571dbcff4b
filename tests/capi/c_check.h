/* Checks shared by the C test programs. Failures go to standard error
 * (standard output is captured at times) and are counted. */
#ifndef GENATTR_TESTS_CAPI_C_CHECK_H
#define GENATTR_TESTS_CAPI_C_CHECK_H

#include <stddef.h>

extern int failures;

void check(int ok, int line, const char* what);
#define CHECK(condition) check((condition) != 0, __LINE__, #condition)

/* `actual` is not null and equals `expected`; both are printed otherwise. */
void check_text(const char* actual, const char* expected, int line, const char* what);
#define CHECK_TEXT(actual, expected) check_text((actual), (expected), __LINE__, #actual)

/* The whole content of `path` equals `expected`. */
void check_file(const char* path, const char* expected, int line);
#define CHECK_FILE(path, expected) check_file((path), (expected), __LINE__)

/* The whole content of `path`, or null when it cannot be read; the caller
 * frees it. */
char* read_file(const char* path);
int file_exists(const char* path);

/* Standard output of the library, redirected into a temporary file between
 * capture_begin() and capture_end(); the text is valid until the next
 * capture_end(). */
void capture_begin(void);
const char* capture_end(void);

/* One group of checks per run, named by the first argument. */
struct test_group {
  const char* name;
  void (*run)(void);
};
/* Runs the group named by argv[1]; the exit status is the number of failed
 * checks, capped at 100 (also for an unknown group). */
int run_test_group(int argc, char** argv, const struct test_group* groups, size_t count);

#endif /* GENATTR_TESTS_CAPI_C_CHECK_H */

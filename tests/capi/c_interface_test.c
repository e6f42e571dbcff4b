/* The flat interface as a C host sees it, compiled as C99. One group of
 * checks per run, named by the first argument:
 *   road      build, walk, search, read, set and write a tree
 *   mismatch  the type check in front of the typed accessors
 *   nulls     null handles and texts
 *   stamp     the build date and time
 * Trees are released with genattr_unref(). */
#define _POSIX_C_SOURCE 200809L

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "genattr/genattr_c.h"
#include "genattr/genattr_c_ext.h"
#include "tests/capi/c_check.h"
#include "tests/support/ModelListing.h"

/* Walks the children of `parent` with its cursor and compares them with the
 * null-terminated `expected`; past the end the cursor must stay at null. */
static void check_children(GenAttrHandle* parent, GenAttrHandle* const* expected, int line) {
  GenAttrHandle* child = QMV_GenAttr_Base_GetFirstAttr(parent);
  int index = 0;
  for (; expected[index] != NULL; ++index) {
    if (child != expected[index]) {
      fprintf(stderr, "line %d: child %d is not the expected node\n", line, index);
      ++failures;
      return;
    }
    child = QMV_GenAttr_Base_GetNextAttr(parent);
  }
  check(child == NULL, line, "no child after the last one");
  check(QMV_GenAttr_Base_GetNextAttr(parent) == NULL, line, "still no child past the end");
}
#define CHECK_CHILDREN(parent, ...)                                                                \
  check_children((parent), (GenAttrHandle* const[]){__VA_ARGS__, NULL}, __LINE__)

/* The report of a typed accessor handed a node of another type. */
static const char* mismatch_report(int expected, int actual) {
  static char text[256];
  snprintf(text, sizeof(text),
           "-------------------------------------\n"
           "Wrong GenAttrType type!\n"
           "Expected %d but object has %d.\n"
           "-------------------------------------\n",
           expected, actual);
  return text;
}

/* The tree of the plain-text listing's reference example, built and used
 * through the flat functions only. */
static void test_road(void) {
  const char* const listing = "road_listing.txt";
  const char* const kinds_listing = "road_kinds.txt";
  GenAttrHandle *model, *material, *part, *mass, *count, *part_ref, *color, *alpha, *kinds;

  model = QMV_GenAttr_Create_Cont("Model");
  CHECK(QMV_GenAttr_Cont_GetId(model) == NULL);
  QMV_GenAttr_Cont_SetId(model, "M1");
  CHECK_TEXT(QMV_GenAttr_Cont_GetId(model), "M1");
  material = QMV_GenAttr_Create_String_Desc("Material", "surface material", "Stone");
  QMV_GenAttr_String_SetValue(material, "Steel");
  part = QMV_GenAttr_Create_Cont("Part");
  QMV_GenAttr_Cont_SetId(part, "P7");
  mass = QMV_GenAttr_Create_Double("Mass", 12.5);
  count = QMV_GenAttr_Create_Int("Count", 2);
  QMV_GenAttr_Int_SetValue(count, 3);
  color = QMV_GenAttr_Create_String("Color", "red & blue");
  alpha = QMV_GenAttr_Create_Int("Alpha", 255);

  QMV_GenAttr_Base_AddAttr(part, mass);
  QMV_GenAttr_Base_AddAttr(part, count);
  part_ref = QMV_GenAttr_Create_Cont_Ref("PartRef", part);
  QMV_GenAttr_Base_AddAttr(model, part);
  QMV_GenAttr_Base_AddAttr(model, count);
  QMV_GenAttr_Base_AddAttr(model, part_ref);
  QMV_GenAttr_Base_AddAttr(model, color);
  QMV_GenAttr_Base_AddAttrAtTop(model, material);
  QMV_GenAttr_Base_AddAttr(color, alpha);

  /* Walking: each node has its own cursor; a reference walks the shared chain. */
  CHECK_CHILDREN(model, material, part, count, part_ref, color);
  CHECK_CHILDREN(part, mass, count);
  CHECK_CHILDREN(part_ref, mass, count);
  CHECK(QMV_GenAttr_Base_GetFirstAttr(mass) == NULL);
  CHECK(QMV_GenAttr_Base_GetNextAttr(mass) == NULL);
  CHECK(QMV_GenAttr_Base_IsReference(part_ref) == 1);
  CHECK(QMV_GenAttr_Base_IsReference(part) == 0);
  CHECK(QMV_GenAttr_Base_IsReference(count) == 0);
  CHECK_TEXT(QMV_GenAttr_Cont_GetId(part_ref), "P7");

  /* Looking up: by direct child, by path, and by typed value in pre-order. */
  CHECK(QMV_GenAttr_Base_GetAttr(model, "Part") == part);
  CHECK(QMV_GenAttr_Base_GetAttr(model, "Mass") == NULL);
  CHECK(QMV_GenAttr_Base_GetAttrByPath(model, "Part/Mass") == mass);
  CHECK(QMV_GenAttr_Base_GetAttrByPath(model, "Color/Alpha") == alpha);
  CHECK(QMV_GenAttr_Base_GetAttrByPath(model, "Part/Alpha") == NULL);
  CHECK(QMV_GenAttr_FindStringAttr(model, "Color", "red & blue") == color);
  CHECK(QMV_GenAttr_FindStringAttr(model, "Color", "red") == NULL);
  CHECK(QMV_GenAttr_FindStringAttr(model, "Material", "Stone") == NULL);
  CHECK(QMV_GenAttr_FindDoubleAttr(model, "Mass", 12.4, 0.2) == mass);
  CHECK(QMV_GenAttr_FindDoubleAttr(model, "Mass", 12.5, 0.0) == NULL); /* strictly within */
  CHECK(QMV_GenAttr_FindDoubleAttr(model, "Mass", 12.7, 0.1) == NULL);
  CHECK(QMV_GenAttr_FindIntegerAttr(model, "Alpha", 255) == alpha);
  CHECK(QMV_GenAttr_FindIntegerAttr(model, "Count", 2) == NULL);
  CHECK(QMV_GenAttr_FindIntegerAttr(model, "Count", 3) == count);

  /* Typed reads on the right type print nothing. */
  capture_begin();
  CHECK_TEXT(QMV_GenAttr_String_GetValue(material), "Steel");
  CHECK(QMV_GenAttr_Int_GetValue(alpha) == 255);
  CHECK_TEXT(QMV_GenAttr_Cont_GetId(part), "P7");
  CHECK_TEXT(capture_end(), "");

  remove(listing);
  CHECK(QMV_GenAttr_WriteToFile(model, listing) == 0);
  CHECK_FILE(listing, kModelListing);

  /* The status of the file writer is passed on. */
  CHECK(QMV_GenAttr_WriteToFile(model, "no-such-directory/listing.txt") == 1);
  CHECK(!file_exists("no-such-directory/listing.txt"));
  if (access("/dev/full", W_OK) == 0) {
    CHECK(QMV_GenAttr_WriteToFile(model, "/dev/full") == 2);
  }
  genattr_unref(model);

  /* The Create functions not on the road above. */
  kinds = QMV_GenAttr_Create_Cont_Desc("Kinds", "all kinds");
  QMV_GenAttr_Base_AddAttr(kinds, QMV_GenAttr_Create_Float("Ratio", 1.5f));
  QMV_GenAttr_Base_AddAttr(kinds, QMV_GenAttr_Create_UnicodeString_Desc("Label", "wide", L"abc"));
  QMV_GenAttr_Base_AddAttr(kinds, QMV_GenAttr_Create_UnicodeString("Plain", L"xyz"));
  remove(kinds_listing);
  CHECK(QMV_GenAttr_WriteToFile(kinds, kinds_listing) == 0);
  CHECK_FILE(kinds_listing,
             "-------------------------------------------------\n"
             "Name: Kinds                (Description: all kinds)  (Type: Cont)\n"
             "  Name: Ratio               Value: 1.5000  (Type: Float)\n"
             "  Name: Label               Value: abc (Description: wide)  (Type: UnicodeString)\n"
             "  Name: Plain               Value: xyz  (Type: UnicodeString)\n");
  genattr_unref(kinds);
}

/* A typed accessor on a node of another type reports it once and neither
 * reads nor writes the node through the wrong class. */
static void test_mismatch(void) {
  GenAttrHandle* cont = QMV_GenAttr_Create_Cont("Box");
  GenAttrHandle* string = QMV_GenAttr_Create_String("Material", "Steel");
  GenAttrHandle* number = QMV_GenAttr_Create_Int("Count", 3);
  GenAttrHandle* others[4];
  const int other_types[4] = {2, 3, 6, 7}; /* Float, Double, UnicodeString, Ptr */
  int i;
  QMV_GenAttr_Cont_SetId(cont, "B1");

  capture_begin();
  QMV_GenAttr_Int_SetValue(cont, 4);
  CHECK_TEXT(capture_end(), "-------------------------------------\n"
                            "Wrong GenAttrType type!\n"
                            "Expected 4 but object has 5.\n"
                            "-------------------------------------\n");

  /* A string's value and a container's id sit at the same place in their
   * nodes: a setter that wrote through the wrong class would show here. */
  capture_begin();
  QMV_GenAttr_String_SetValue(cont, "oops");
  CHECK_TEXT(capture_end(), mismatch_report(1, 5));
  CHECK_TEXT(QMV_GenAttr_Cont_GetId(cont), "B1");
  capture_begin();
  QMV_GenAttr_Cont_SetId(string, "oops");
  CHECK_TEXT(capture_end(), mismatch_report(5, 1));
  capture_begin();
  QMV_GenAttr_Int_SetValue(string, 7);
  CHECK_TEXT(capture_end(), mismatch_report(4, 1));
  CHECK_TEXT(QMV_GenAttr_String_GetValue(string), "Steel");
  capture_begin();
  QMV_GenAttr_String_SetValue(number, "oops");
  CHECK_TEXT(capture_end(), mismatch_report(1, 4));
  CHECK(QMV_GenAttr_Int_GetValue(number) == 3);

  capture_begin();
  CHECK(QMV_GenAttr_String_GetValue(cont) == NULL);
  CHECK_TEXT(capture_end(), mismatch_report(1, 5));
  capture_begin();
  CHECK(QMV_GenAttr_Cont_GetId(string) == NULL);
  CHECK_TEXT(capture_end(), mismatch_report(5, 1));
  capture_begin();
  CHECK(QMV_GenAttr_Int_GetValue(string) == 0);
  CHECK_TEXT(capture_end(), mismatch_report(4, 1));

  /* The report names the type code each Create function gives its node. */
  others[0] = QMV_GenAttr_Create_Float("F", 1.0f);
  others[1] = QMV_GenAttr_Create_Double("D", 1.0);
  others[2] = QMV_GenAttr_Create_UnicodeString("U", L"u");
  others[3] = QMV_GenAttr_Create_Ptr("P", NULL);
  for (i = 0; i < 4; ++i) {
    capture_begin();
    CHECK(QMV_GenAttr_Int_GetValue(others[i]) == 0);
    CHECK_TEXT(capture_end(), mismatch_report(4, other_types[i]));
    genattr_unref(others[i]);
  }
  capture_begin();
  CHECK(QMV_GenAttr_Cont_GetId(number) == NULL);
  CHECK_TEXT(capture_end(), mismatch_report(5, 4));

  /* Only a container can be referred to. */
  capture_begin();
  CHECK(QMV_GenAttr_Create_Cont_Ref("Ref", string) == NULL);
  CHECK_TEXT(capture_end(), mismatch_report(5, 1));

  genattr_unref(cont);
  genattr_unref(string);
  genattr_unref(number);
}

/* Null handles and texts: nothing crashes, nothing is printed, nothing
 * changes, and Create functions take a missing description or value as
 * empty. */
static void test_nulls(void) {
  const char* const listing = "nulls_listing.txt";
  GenAttrHandle* root = QMV_GenAttr_Create_Cont_Desc("Defaults", NULL);
  GenAttrHandle* cont = QMV_GenAttr_Create_Cont("Box");
  GenAttrHandle* string = QMV_GenAttr_Create_String("S", NULL);
  GenAttrHandle* number = QMV_GenAttr_Create_Int("N", 5);

  capture_begin();
  CHECK(QMV_GenAttr_Create_Cont(NULL) == NULL);
  CHECK(QMV_GenAttr_Create_Cont_Desc(NULL, "d") == NULL);
  CHECK(QMV_GenAttr_Create_Cont_Ref(NULL, cont) == NULL);
  CHECK(QMV_GenAttr_Create_Cont_Ref("Ref", NULL) == NULL);
  CHECK(QMV_GenAttr_Create_String(NULL, "v") == NULL);
  CHECK(QMV_GenAttr_Create_String_Desc(NULL, "d", "v") == NULL);
  CHECK(QMV_GenAttr_Create_UnicodeString(NULL, L"v") == NULL);
  CHECK(QMV_GenAttr_Create_UnicodeString_Desc(NULL, "d", L"v") == NULL);
  CHECK(QMV_GenAttr_Create_Int(NULL, 1) == NULL);
  CHECK(QMV_GenAttr_Create_Float(NULL, 1.0f) == NULL);
  CHECK(QMV_GenAttr_Create_Double(NULL, 1.0) == NULL);
  CHECK(QMV_GenAttr_Create_Ptr(NULL, NULL) == NULL);

  /* Linking with a null end links nothing. */
  QMV_GenAttr_Base_AddAttr(NULL, number);
  QMV_GenAttr_Base_AddAttrAtTop(NULL, number);
  QMV_GenAttr_Base_AddAttr(cont, NULL);
  QMV_GenAttr_Base_AddAttrAtTop(cont, NULL);
  CHECK(QMV_GenAttr_Base_GetFirstAttr(cont) == NULL);
  QMV_GenAttr_Base_AddAttr(cont, number);
  QMV_GenAttr_Base_AddAttr(cont, string);

  /* Lookups with a null node or text find nothing, even where a lookup with
   * a text could have found a node. */
  CHECK(QMV_GenAttr_Base_IsReference(NULL) == 0);
  CHECK(QMV_GenAttr_Base_GetFirstAttr(NULL) == NULL);
  CHECK(QMV_GenAttr_Base_GetNextAttr(NULL) == NULL);
  CHECK(QMV_GenAttr_Base_GetAttr(NULL, "N") == NULL);
  CHECK(QMV_GenAttr_Base_GetAttr(cont, NULL) == NULL);
  CHECK(QMV_GenAttr_Base_GetAttrByPath(NULL, "N") == NULL);
  CHECK(QMV_GenAttr_Base_GetAttrByPath(cont, NULL) == NULL);
  CHECK(QMV_GenAttr_FindStringAttr(NULL, "S", "") == NULL);
  CHECK(QMV_GenAttr_FindStringAttr(cont, NULL, "") == NULL);
  CHECK(QMV_GenAttr_FindStringAttr(cont, "S", NULL) == NULL);
  CHECK(QMV_GenAttr_FindStringAttr(cont, "S", "") == string);
  CHECK(QMV_GenAttr_FindDoubleAttr(NULL, "D", 1.0, 1.0) == NULL);
  CHECK(QMV_GenAttr_FindDoubleAttr(cont, NULL, 1.0, 1.0) == NULL);
  CHECK(QMV_GenAttr_FindIntegerAttr(NULL, "N", 5) == NULL);
  CHECK(QMV_GenAttr_FindIntegerAttr(cont, NULL, 5) == NULL);
  CHECK(QMV_GenAttr_FindIntegerAttr(cont, "N", 5) == number);

  /* Typed accessors: null node refused without a report, null text ignored. */
  CHECK(QMV_GenAttr_Cont_GetId(NULL) == NULL);
  CHECK(QMV_GenAttr_String_GetValue(NULL) == NULL);
  CHECK(QMV_GenAttr_Int_GetValue(NULL) == 0);
  QMV_GenAttr_Cont_SetId(NULL, "id");
  QMV_GenAttr_String_SetValue(NULL, "v");
  QMV_GenAttr_Int_SetValue(NULL, 1);
  QMV_GenAttr_Cont_SetId(cont, "B1");
  QMV_GenAttr_Cont_SetId(cont, NULL);
  CHECK_TEXT(QMV_GenAttr_Cont_GetId(cont), "B1");
  QMV_GenAttr_String_SetValue(string, "kept");
  QMV_GenAttr_String_SetValue(string, NULL);
  CHECK_TEXT(QMV_GenAttr_String_GetValue(string), "kept");

  remove(listing);
  CHECK(QMV_GenAttr_WriteToFile(NULL, listing) == 1);
  CHECK(!file_exists(listing));
  CHECK(QMV_GenAttr_WriteToFile(cont, NULL) == 1);
  CHECK_TEXT(capture_end(), "");
  genattr_unref(cont);

  QMV_GenAttr_Base_AddAttr(root, QMV_GenAttr_Create_String("S", NULL));
  QMV_GenAttr_Base_AddAttr(root, QMV_GenAttr_Create_String_Desc("SD", NULL, NULL));
  QMV_GenAttr_Base_AddAttr(root, QMV_GenAttr_Create_UnicodeString("U", NULL));
  QMV_GenAttr_Base_AddAttr(root, QMV_GenAttr_Create_UnicodeString_Desc("UD", NULL, NULL));
  CHECK(QMV_GenAttr_WriteToFile(root, listing) == 0);
  CHECK_FILE(listing,
             "-------------------------------------------------\n"
             "Name: Defaults             (Description: )  (Type: Cont)\n"
             "  Name: S                   Value:   (Type: String)\n"
             "  Name: SD                  Value:  (Description: )  (Type: String)\n"
             "  Name: U                   Value:   (Type: UnicodeString)\n"
             "  Name: UD                  Value:  (Description: )  (Type: UnicodeString)\n");
  genattr_unref(root);
}

static int is_digit(char c) {
  return c >= '0' && c <= '9';
}

/* Two digits at `text`, as a number, or -1. */
static int two_digits(const char* text) {
  return is_digit(text[0]) && is_digit(text[1]) ? (text[0] - '0') * 10 + (text[1] - '0') : -1;
}

/* The stamp is "Mmm dd yyyy" (day padded with a space) and "hh:mm:ss", each
 * with its zero and not one byte more. */
static void test_stamp(void) {
  static const char* const months = "JanFebMarAprMayJunJulAugSepOctNovDec";
  char date[16];
  char time[16];
  char again[16];
  int day;
  int month_found = 0;
  int i;

  memset(date, 'X', sizeof(date));
  memset(time, 'X', sizeof(time));
  QMV_GenAttr_GetBuildDateTime(date, time);
  CHECK(date[11] == '\0' && date[12] == 'X');
  CHECK(time[8] == '\0' && time[9] == 'X');

  for (i = 0; i < 12; ++i) {
    month_found |= strncmp(date, months + 3 * i, 3) == 0;
  }
  CHECK(month_found);
  CHECK(date[3] == ' ' && date[6] == ' ');
  if (date[4] == ' ') {
    day = is_digit(date[5]) ? date[5] - '0' : -1;
    CHECK(day >= 1 && day <= 9);
  } else {
    day = two_digits(date + 4);
    CHECK(day >= 10 && day <= 31); /* a single digit has a space, not a zero, before it */
  }
  CHECK(two_digits(date + 7) >= 0 && two_digits(date + 9) >= 0);
  CHECK(two_digits(time) >= 0 && two_digits(time) <= 23);
  CHECK(time[2] == ':' && time[5] == ':');
  CHECK(two_digits(time + 3) >= 0 && two_digits(time + 3) <= 59);
  CHECK(two_digits(time + 6) >= 0 && two_digits(time + 6) <= 59);

  /* Either buffer may be left out; the stamp does not change between calls. */
  memset(again, 'X', sizeof(again));
  QMV_GenAttr_GetBuildDateTime(again, NULL);
  CHECK_TEXT(again, date);
  memset(again, 'X', sizeof(again));
  QMV_GenAttr_GetBuildDateTime(NULL, again);
  CHECK_TEXT(again, time);
  QMV_GenAttr_GetBuildDateTime(NULL, NULL);
}

int main(int argc, char** argv) {
  static const struct test_group groups[] = {{"road", test_road},
                                             {"mismatch", test_mismatch},
                                             {"nulls", test_nulls},
                                             {"stamp", test_stamp}};
  return run_test_group(argc, argv, groups, sizeof(groups) / sizeof(groups[0]));
}

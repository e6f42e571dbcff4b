/* The reader's C entry point, driven by a C99 program. */
#include <stdio.h>
#include <string.h>

#include "genattr/genattr_c.h"
#include "genattr/genattr_c_ext.h"

static int failures = 0;

static void check(int ok, const char* what) {
  if (!ok) {
    printf("FAILED: %s\n", what);
    ++failures;
  }
}

int main(void) {
  const char* name = "c_reader_test.xml";
  FILE* file = fopen(name, "wb");
  int status = -1;
  GenAttrHandle* root;
  GenAttrHandle* count;
  if (file == NULL) {
    return 1;
  }
  fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<Model xmlns:ga=\"urn:genattr:typed\" ga:type=\"Cont\" ga:id=\"M1\">"
        "<DateAndTime>Sun Dec 06 15:38:51 2026</DateAndTime>\n"
        "  <Part ga:type=\"Cont\"><Count ga:type=\"Int\">3</Count></Part>\n"
        "</Model>\n",
        file);
  fclose(file);

  root = genattr_read_xml_file(name, &status);
  check(status == 0 && root != NULL, "typed file read");
  check(strcmp(QMV_GenAttr_Cont_GetId(root), "M1") == 0, "id of the root");
  count = QMV_GenAttr_Base_GetAttrByPath(root, "Part/Count");
  check(count != NULL && QMV_GenAttr_Int_GetValue(count) == 3, "Int below the root");
  genattr_unref(root);

  check(genattr_read_xml_file("no/such/file.xml", &status) == NULL && status == 1, "missing file");
  check(genattr_read_xml_file(NULL, &status) == NULL && status == 1, "null name");
  root = genattr_read_xml_file(name, NULL);
  check(root != NULL, "no status wanted");
  genattr_unref(root);
  remove(name);
  return failures == 0 ? 0 : 1;
}

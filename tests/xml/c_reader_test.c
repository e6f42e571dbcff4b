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

/* The value of the String at `path` below `root`, or "(none)". */
static const char* value_at(GenAttrHandle* root, const char* path) {
  GenAttrHandle* node = QMV_GenAttr_Base_GetAttrByPath(root, path);
  const char* value = node != NULL ? QMV_GenAttr_String_GetValue(node) : NULL;
  return value != NULL ? value : "(none)";
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

  /* Attributes and text beside elements of a document in another format. */
  file = fopen(name, "wb");
  if (file == NULL) {
    return 1;
  }
  fputs("<svg xmlns:xlink=\"http://www.w3.org/1999/xlink\"><path d=\"M 0 0\"/>"
        "<a xlink:href=\"#p\">go<b/></a></svg>",
        file);
  fclose(file);
  root = genattr_read_xml_file_ex(name, 0, &status);
  check(status == 0 && root != NULL, "read with attributes");
  check(strcmp(value_at(root, "path/@d"), "M 0 0") == 0, "@d of path");
  check(QMV_GenAttr_Base_GetAttrByPath(root, "a/@xlink:href") != NULL, "prefixed attribute");
  check(strcmp(value_at(root, "a/#text"), "go") == 0, "text beside an element");
  check(genattr_count_children(root) == 3, "@xmlns:xlink, path, a");
  genattr_unref(root);
  root = genattr_read_xml_file(name, &status);
  check(root != NULL && QMV_GenAttr_Base_GetAttrByPath(root, "path/@d") != NULL,
        "attributes kept by default");
  genattr_unref(root);
  root = genattr_read_xml_file_ex(name, GENATTR_READ_NO_ATTRIBUTES, &status);
  check(status == 0 && root != NULL, "read without attributes");
  check(genattr_count_children(root) == 2, "path and a only");
  check(QMV_GenAttr_Base_GetAttrByPath(root, "path/@d") == NULL, "no @d");
  check(QMV_GenAttr_Base_GetAttrByPath(root, "a/#text") == NULL, "no text beside elements");
  genattr_unref(root);
  check(genattr_read_xml_file_ex("no/such/file.xml", 0, &status) == NULL && status == 1,
        "missing file, with flags");
  check(genattr_read_xml_file_ex(NULL, GENATTR_READ_NO_ATTRIBUTES, NULL) == NULL,
        "null name, no status wanted");
  remove(name);
  return failures == 0 ? 0 : 1;
}

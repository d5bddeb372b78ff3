/* seqlib_cases NAME...: runs the named cases (all without a name) and exits
 * 0 when every expectation held, 1 otherwise. seqlib_cases --list prints
 * every case's name, one a line: the build makes a test of each. */
#include "cases.h"
#include "harness.h"

#include <stdio.h>
#include <string.h>

static const struct {
    const char *name;
    void (*run)(void);
} cases[] = {
    {"inline_path_as_calls", case_inline_path_as_calls},
    {"kvl_conf", case_kvl_conf},
    {"shipped_patch_files", case_shipped_patch_files},
    {"seam_open", case_seam_open},
    {"seam_requests", case_seam_requests},
    {"seam_paths", case_seam_paths},
    {"seam_faults", case_seam_faults},
};
enum { NCASES = sizeof cases / sizeof cases[0] };

static const struct case_table *const tables[] = {&buffer_cases, &opl_cases};
enum { NTABLES = sizeof tables / sizeof tables[0] };

/* Whether name is wanted: any name without arguments, else one of them. */
static int wanted(const char *name, int argc, char **argv)
{
    int yes = argc == 1;
    for (int a = 1; a < argc; a++)
        yes |= strcmp(argv[a], name) == 0;
    return yes;
}

/* Runs the rows of t from first on that are named name; a row that fails
 * says so after its messages. */
static void run_rows(const struct case_table *t, const char *name, size_t first)
{
    for (size_t r = first; r < t->rows; r++) {
        if (strcmp(t->name(r), name) != 0)
            continue;
        int before = failures;
        t->run(r);
        if (failures != before)
            fprintf(stderr, "in %s, row %zu\n", name, r);
    }
}

/* Tells how the case name went: failures counted since before. */
static void report(const char *name, int before)
{
    remove_machine();
    printf("%s %s\n", failures == before ? "PASS" : "FAIL", name);
}

/* Whether row r of t starts its case (no earlier row has its name). */
static int first_of_its_name(const struct case_table *t, size_t r)
{
    for (size_t e = 0; e < r; e++)
        if (strcmp(t->name(e), t->name(r)) == 0)
            return 0;
    return 1;
}

int main(int argc, char **argv)
{
    int list = argc == 2 && strcmp(argv[1], "--list") == 0;
    int ran = 0;
    for (int t = 0; t < NTABLES; t++)
        for (size_t r = 0; r < tables[t]->rows; r++) {
            const char *name = tables[t]->name(r);
            if (!first_of_its_name(tables[t], r))
                continue;
            if (list) {
                printf("%s\n", name);
            } else if (wanted(name, argc, argv)) {
                int before = failures;
                run_rows(tables[t], name, r);
                report(name, before);
                ran++;
            }
        }
    for (int i = 0; i < NCASES; i++) {
        if (list) {
            printf("%s\n", cases[i].name);
        } else if (wanted(cases[i].name, argc, argv)) {
            int before = failures;
            cases[i].run();
            report(cases[i].name, before);
            ran++;
        }
    }
    if (list)
        return 0;
    if (ran == 0 || (argc > 1 && ran != argc - 1)) {
        fprintf(stderr, "seqlib_cases: no such case\n");
        return 1;
    }
    return failures ? 1 : 0;
}

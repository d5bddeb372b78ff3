/* The standard descriptors of a program, in C so that the C programs (the
 * start tool) and the C++ ones share it. */
#ifndef KVL_COMMON_STD_DESCRIPTORS_H
#define KVL_COMMON_STD_DESCRIPTORS_H

#ifdef __cplusplus
extern "C" {
#endif

/* Opens /dev/null on each of the descriptors 0, 1 and 2 that is closed, so
 * that nothing the program opens later becomes its standard input, output or
 * error. Every program calls it first in main. Returns 0, or -1 when
 * /dev/null cannot be opened (nothing is printed: there may be nowhere to). */
int kvl_open_standard_descriptors(void);

#ifdef __cplusplus
}
#endif

#endif

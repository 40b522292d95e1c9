/* A movie writer that lacks one of its two entry points: built once without
   MemoryToAvifile and once without BmpfileToAvifile. Neither function is ever called. */
#ifdef WITH_MEMORY
int MemoryToAvifile(void) { return 0; }
#endif
#ifdef WITH_BMPFILE
int BmpfileToAvifile(void) { return 0; }
#endif

/* A shared object that carries no resource table. */
int lumetra_not_a_resource_library(void) { return 1; }

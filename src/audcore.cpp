// audcore: start-up back end and configurator of the sound system.
#include "start/start.h"

int main(int argc, char **argv) { return kvl::start_main(argc, argv); }

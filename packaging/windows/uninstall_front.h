/* The removal program carried by the front as a resource. */
#define REMOVAL_PROGRAM 1

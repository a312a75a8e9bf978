/* The floor of a process per request: a statically linked program that prints a fixed page
   and exits, doing nothing else. bench/request_cost compares the generator with it. */
#include <string.h>
#include <unistd.h>

static const char kPage[] =
    "Content-type: text/html\n\n"
    "<html> <head>\n<title>Code Generator Results</title>\n</head>\n\n<body>\n"
    "<PRE>\n; a fixed page\n</PRE>\n"
    "</body> </html>\n";

int main(void) {
  return write(1, kPage, strlen(kPage)) == (ssize_t)strlen(kPage) ? 0 : 1;
}

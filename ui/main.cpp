#include "ui/application.h"

int main(int argc, char** argv) {
  kuronel::KuronelApplication app(argc, argv);
  return 0;
}

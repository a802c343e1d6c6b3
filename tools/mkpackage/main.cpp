#include <iostream>

#include "mkpackage_cli.h"

int main(int argc, char** argv) { return mkpackage::RunMkpackage(argc, argv, std::cout, std::cerr); }

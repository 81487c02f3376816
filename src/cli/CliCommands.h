#pragma once
namespace quarrow::cli {
int run(int argc, char** argv);
}

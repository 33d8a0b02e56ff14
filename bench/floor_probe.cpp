// The floor: a minimal C++ program that only writes the probe's two lines.
#include <fstream>

int main() {
    std::ofstream metrics("/tmp/quorvexmetrics", std::ios::trunc);
    metrics << -75 << '\n' << std::flush;
    metrics << 1 << '\n' << std::flush;
    return 181;
}

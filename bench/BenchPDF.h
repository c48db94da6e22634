// The benchmarks' own small files: a classic PDF whose objects are given as
// text, numbered from 1 with object 1 the catalog, with a cross-reference table.
#pragma once

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace quillet::bench {

inline void writeObjectsPDF(const std::string& path, const std::vector<std::string>& objects) {
    std::string file = "%PDF-1.7\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(file.size());
        file += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = file.size();
    file += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        char line[24];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        file += line;
    }
    file += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
            std::to_string(xref) + "\n%%EOF\n";
    std::ofstream(path, std::ios::binary) << file;
}

}  // namespace quillet::bench

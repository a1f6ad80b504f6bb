// Stands in for a firmware program: any linked executable has a code section to convert.

int main(int argc, char**) {
    return argc > 1 ? 1 : 0;
}

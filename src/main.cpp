// Placeholder until the POSIX platform layer lands.
int main() { return 0; }

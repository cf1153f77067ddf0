// Quarry's process entry point.
int main() { return 0; }

// Placeholder entry point until script mode lands.
int main() { return 0; }

// Placeholder until the courier service is built: exits successfully.
int main()
{
    return 0;
}

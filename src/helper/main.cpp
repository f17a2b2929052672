// Placeholder until the login helper is built: exits successfully.
int main()
{
    return 0;
}

"""What the benchmark scripts that drive the show tests' helpers (test_show.ShowRuns)
outside unittest need of it: the few assertions and the cleanup list those helpers use."""


class ScriptRuns:
    def addCleanup(self, f, *args):
        self.cleanups.append((f, args))

    def assertIsNotNone(self, value, message):
        if value is None:
            raise SystemExit(message)

    def assertEqual(self, a, b, message):
        if a != b:
            print(f"warning: {message} ({a})")

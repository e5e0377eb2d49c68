"""How the tool tests end: every problem on its own line, a summary, and the
exit status."""


def finish(problems, summary):
    for problem in problems:
        print(problem)
    print(f"{summary}, {len(problems)} problems")
    return 1 if problems else 0

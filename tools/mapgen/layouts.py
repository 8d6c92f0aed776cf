"""Where a map's craters and boulders may go: one sampler per layout.

Each sampler proposes a centre for the next object of a given radius; the
generator keeps a proposal only when it respects the spacing, the home base
and the rovers' starts, and asks again otherwise.
"""

import math

HOME_RADIUS = 5.0


class Rng:
    """A seeded generator built on random.Random.random() alone: Python keeps
    that sequence the same across versions for the same integer seed, which
    its other methods (randrange, shuffle, ...) do not promise."""

    def __init__(self, seed):
        import random
        self._random = random.Random(seed)

    def uniform(self, low, high):
        return low + (high - low) * self._random.random()

    def below(self, n):
        return min(n - 1, int(self._random.random() * n))

    def shuffle(self, items):
        for i in range(len(items) - 1, 0, -1):
            j = self.below(i + 1)
            items[i], items[j] = items[j], items[i]


class Scatter:
    """Anywhere on the map, uniformly: open ground with obstacles in the way."""

    def __init__(self, rng, half):
        self.rng, self.half = rng, half

    def propose(self, radius):
        reach = self.half - radius - 1
        return self.rng.uniform(-reach, reach), self.rng.uniform(-reach, reach)


class Clusters(Scatter):
    """Dense patches with open lanes between them."""

    def __init__(self, rng, half, count):
        super().__init__(rng, half)
        self.centres = [super(Clusters, self).propose(0) for _ in range(max(1, count // 8))]
        self.spread = 0.15 * half

    def propose(self, radius):
        cx, cy = self.centres[self.rng.below(len(self.centres))]
        # A sum of uniforms: most objects near the centre, a few farther out.
        dx = sum(self.rng.uniform(-1, 1) for _ in range(3)) * self.spread
        dy = sum(self.rng.uniform(-1, 1) for _ in range(3)) * self.spread
        return cx + dx, cy + dy


class Rings:
    """Objects side by side on circles around home, with a few gates: the
    rover has to find a way in."""

    GATE_WIDTH = 7.0  # metres of arc left open at each gate
    MARGIN = 0.05  # metres added to each gap, so that rounding never closes one below the spacing

    def __init__(self, rng, half, spacing):
        self.rng, self.half, self.spacing = rng, half, spacing
        self.inner = rng.uniform(0.3, 0.4) * half
        self.radius = self.inner
        self._start_ring()

    def _start_ring(self):
        self.angle = self.rng.uniform(-math.pi, math.pi)
        self.end = self.angle + 2 * math.pi
        self.previous = None  # radius of the object before, on this ring
        gates = 2 + self.rng.below(3)
        self.gates = sorted(self.angle + (k + self.rng.uniform(0.2, 0.8)) * 2 * math.pi / gates
                            for k in range(gates))

    def _turn(self, chord):
        return 2 * math.asin(min(1.0, chord / (2 * self.radius)))

    def propose(self, radius):
        if self.previous is not None:
            self.angle += self._turn(self.previous + radius + self.spacing + self.MARGIN)
        if self.gates and self.angle > self.gates[0]:
            self.angle += self._turn(self.GATE_WIDTH + 2 * radius)
            self.gates.pop(0)
        # Room for this object before the ring's first one: else the next ring, farther out, or
        # (off the map) the first one again, on a map too small for more.
        if self.angle + self._turn(2 * radius + self.spacing) > self.end:
            self.radius += 8 + 2 * radius
            if self.radius + radius > self.half - 1:
                self.radius = self.inner
            self._start_ring()
        # Never over home: its edge, then the gap, then this object.
        self.radius = max(self.radius, HOME_RADIUS + self.spacing + 2 * radius + 0.5)
        self.previous = radius
        return self.radius * math.cos(self.angle), self.radius * math.sin(self.angle)


class Walls:
    """Straight lines of objects side by side: barriers to drive around."""

    def __init__(self, rng, half, spacing):
        self.rng, self.half, self.spacing = rng, half, spacing
        self.left = 0.0

    def propose(self, radius):
        if self.left <= 0:
            self.x, self.y = self.rng.uniform(-self.half, self.half), self.rng.uniform(-self.half, self.half)
            heading = self.rng.uniform(-math.pi, math.pi)
            self.dx, self.dy = math.cos(heading), math.sin(heading)
            self.left = self.rng.uniform(0.15, 0.35) * 2 * self.half
        step = 2 * radius + self.spacing + Rings.MARGIN
        self.x += self.dx * step / 2
        self.y += self.dy * step / 2
        centre = (self.x, self.y)
        self.x += self.dx * step / 2
        self.y += self.dy * step / 2
        self.left -= step
        return centre


LAYOUTS = ("scatter", "clusters", "rings", "walls")


def make_layout(name, rng, half, spacing, count):
    """The sampler for one of LAYOUTS."""
    if name == "scatter":
        return Scatter(rng, half)
    if name == "clusters":
        return Clusters(rng, half, count)
    if name == "rings":
        return Rings(rng, half, spacing)
    if name == "walls":
        return Walls(rng, half, spacing)
    raise ValueError(name)

// The URL hash names the run and the moment (#run=2&t=1230), so a link
// points at what its sender was looking at.

RV.readHash = function (hash) {
  const params = new URLSearchParams(hash.replace(/^#/, ''));
  const run = parseInt(params.get('run'), 10);
  const t = parseFloat(params.get('t'));
  return { run: Number.isFinite(run) ? run : null, t: Number.isFinite(t) ? t : null };
};

RV.writeHash = function (run, t) {
  const hash = '#run=' + run + '&t=' + Math.floor(t);
  if (location.hash === hash) return;
  try {
    history.replaceState(null, '', hash);
  } catch (e) {
    location.replace(hash);
  }
};

#include "serialize/HtmlPage.h"

// The page is plain ASCII (other characters appear as escapes in the style
// and the script), so it reads the same whatever the source encoding. Each
// raw literal stays below the 16 KB that some compilers allow one literal.

namespace genattr {
namespace detail {

// The policy allows inline style and script only: the page loads nothing, and
// whatever the data held could not fetch anything either.
const char kHtmlPageHead[] = R"html(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta http-equiv="Content-Security-Policy" content="default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; base-uri 'none'; form-action 'none'">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="generator" content="genattr">
<title>Attribute tree</title>
<style>
:root { color-scheme: light dark; --line: #8883; --dim: #7a7a7a; --row: 22px; }
* { box-sizing: border-box; }
body { margin: 0; height: 100vh; display: flex; flex-direction: column;
  font: 13px/1.35 system-ui, -apple-system, "Segoe UI", sans-serif; }
header { display: flex; flex-wrap: wrap; align-items: center; gap: .4em .8em;
  padding: .5em .8em; border-bottom: 1px solid var(--line); }
h1 { font-size: 1.15em; margin: 0 .4em 0 0; max-width: 40em; white-space: nowrap;
  overflow: hidden; text-overflow: ellipsis; }
.info { color: var(--dim); }
#search { width: 18em; font: inherit; padding: .2em .4em; }
button { font: inherit; }
#view { flex: 1; overflow: auto; }
.head, .row { display: grid; padding: 0 .8em;
  grid-template-columns: minmax(16em, 3fr) 9em minmax(8em, 3fr) minmax(8em, 3fr) minmax(5em, 1fr); }
.head { position: sticky; top: 0; z-index: 1; font-weight: 600; line-height: 1.9;
  background: Canvas; border-bottom: 1px solid var(--line); }
#spacer { position: relative; }
#rows { position: absolute; left: 0; right: 0; }
.row { height: var(--row); line-height: calc(var(--row) - 1px); border-bottom: 1px solid var(--line); }
.row:hover { background: #8881; }
.row > span, .head > span { white-space: nowrap; overflow: hidden; text-overflow: ellipsis;
  padding-right: .8em; }
.fold { width: 1.5em; padding: 0; border: 0; background: none; color: inherit; cursor: pointer; }
.leaf { display: inline-block; width: 1.5em; }
.type, .id { color: var(--dim); }
.again .label, .again .value { font-style: italic; color: var(--dim); }
.badge { margin-left: .5em; padding: 0 .4em; border: 1px solid currentColor; border-radius: .7em;
  font-size: .85em; }
.shared { color: #b35f00; }
.ref { color: #3367cc; }
.link { color: #178a2e; text-decoration: none; }
.link:hover { text-decoration: underline; }
.hit { background: #fd52; }
mark { background: #fd5; color: #000; }
.flash { animation: flash 2s; }
@keyframes flash { from { background: #6af8; } }
</style>
</head>
<body>
<header>
<h1 id="title">Attribute tree</h1>
<span class="info" id="count"></span>
<span class="info" id="shown"></span>
<input type="search" id="search" placeholder="Find a name or value" aria-label="Find a name or value" autocomplete="off" spellcheck="false">
<span class="info" id="matches" aria-live="polite"></span>
<button type="button" id="expand-all">Expand all</button>
<button type="button" id="collapse-all">Collapse all</button>
<span class="info" id="written"></span>
</header>
<div id="view">
<div class="head"><span>Name</span><span>Type</span><span>Value</span><span>Description</span><span>Id</span></div>
<div id="spacer"><div id="rows"></div></div>
</div>
<noscript><p>This page draws the tree with its script: allow scripts to see it.</p></noscript>
<script type="application/json" id="genattr-tree">
)html";

// Rows exist only for the part of the list in view (the list scrolls over a
// spacer as tall as all rows, up to a height browsers can lay out), so a tree
// of any size opens and folds in the time its data takes to parse plus one
// pass over the entries per fold.
const char kHtmlPageTail[] = R"html(</script>
<script>
(function () {
  'use strict';
  var ROW = 22, INDENT = 16, MAX_INDENT = 48, OVERSCAN = 12;
  // A longer list scrolls over a spacer this tall, each pixel worth more
  // than a pixel of rows: browsers lay out no element above 2^25 px, and paint
  // in single precision, which far down a tall list puts rows a pixel or two
  // off and loses their borders.
  var MAX_HEIGHT = 4000000;
  function $(id) { return document.getElementById(id); }
  var data = JSON.parse($('genattr-tree').textContent);
  var nodes = data.nodes, types = data.types, n = nodes.length;
  var view = $('view'), spacer = $('spacer'), list = $('rows'), box = $('search');
  var head = view.querySelector('.head');

  // Entries are in pre-order, so the subtree of entry i is i .. end[i] - 1.
  var parent = new Int32Array(n), depth = new Int32Array(n), end = new Int32Array(n);
  var open = new Uint8Array(n), uses = new Int32Array(n), rows = new Int32Array(n);
  var nodeCount = 0, nrows = 0, i;
  for (i = 0; i < n; i++) {
    var p = nodes[i][0];
    parent[i] = p;
    depth[i] = p < 0 ? 0 : depth[p] + 1;
    end[i] = i + 1;
    if (nodes[i][1] < 0) uses[nodes[i][2]]++; else nodeCount++;
    open[i] = depth[i] < 2 ? 1 : 0;
  }
  for (i = n - 1; i > 0; i--) if (end[i] > end[parent[i]]) end[parent[i]] = end[i];

  var query = '', keep = null, hits = null, saved = null, hay = null, flashed = -1;
  document.documentElement.style.setProperty('--row', ROW + 'px');
  document.title = data.title + ' \u2013 attribute tree';
  $('title').textContent = data.title;
  $('written').textContent = 'written ' + data.written;
  $('count').textContent = nodeCount.toLocaleString('en-US') + (nodeCount === 1 ? ' node' : ' nodes');

  function layout() {
    var k = 0, j = 0;
    while (j < n) {
      if (keep && !keep[j]) { j = end[j]; continue; }
      rows[k++] = j;
      j = open[j] ? j + 1 : end[j];
    }
    nrows = k;
    spacer.style.height = Math.min(nrows * ROW, MAX_HEIGHT) + 'px';
    $('shown').textContent = nrows.toLocaleString('en-US') + (nrows === 1 ? ' row' : ' rows') + ' shown';
  }

  function span(cls, text) {
    var s = document.createElement('span');
    s.className = cls;
    if (text) { s.textContent = text; s.title = text; }
    return s;
  }
  function badge(cls, label, title, target) {
    var b = document.createElement(target === undefined ? 'span' : 'a');
    b.className = 'badge ' + cls;
    b.textContent = label;
    b.title = title;
    if (target !== undefined) b.href = '#n' + target;
    return b;
  }
  // The text, with each place the query occurs in it marked.
  function marked(cls, text) {
    var s = span(cls, text), lower = text.toLowerCase(), at = 0, hit;
    if (!query || lower.length !== text.length || lower.indexOf(query) < 0) return s;
    s.textContent = '';
    while ((hit = lower.indexOf(query, at)) >= 0) {
      if (hit > at) s.appendChild(document.createTextNode(text.slice(at, hit)));
      var m = document.createElement('mark');
      m.textContent = text.slice(hit, hit + query.length);
      s.appendChild(m);
      at = hit + query.length;
    }
    if (at < text.length) s.appendChild(document.createTextNode(text.slice(at)));
    return s;
  }

  function makeRow(j) {
    var e = nodes[j], again = e[1] < 0, t = again ? e[2] : j, d = nodes[t];
    var row = document.createElement('div');
    row.className = 'row' + (again ? ' again' : '') + (hits && hits[t] ? ' hit' : '') +
      (j === flashed ? ' flash' : '');
    row.dataset.i = j;
    var name = span('name');
    name.style.paddingLeft = Math.min(depth[j], MAX_INDENT) * INDENT + 'px';
    name.title = 'level ' + depth[j];
    if (!again && end[j] > j + 1) {
      var b = document.createElement('button');
      b.type = 'button';
      b.className = 'fold';
      b.textContent = open[j] ? '\u25BE' : '\u25B8';
      b.title = open[j] ? 'Fold' : 'Unfold';
      b.setAttribute('aria-expanded', open[j] ? 'true' : 'false');
      name.appendChild(b);
    } else {
      name.appendChild(span('leaf'));
    }
    name.appendChild(marked('label', d[2]));
    if (again) {
      name.appendChild(badge('link', 'shown above', 'The same node again: go to where it is shown', t));
    } else if (uses[j]) {
      name.appendChild(badge('shared', 'shared \u00D7' + (uses[j] + 1),
        'Linked ' + (uses[j] + 1) + ' times: the later places link here'));
    }
    if (d[6] === 1) name.appendChild(badge('ref', 'ref', 'A reference to another container'));
    if (!again && d[7] >= 0) {
      name.appendChild(badge('link', 'children \u2197', 'Its children are shown under ' + nodes[d[7]][2], d[7]));
    }
    row.appendChild(name);
    row.appendChild(span('type', types[d[1]]));
    row.appendChild(marked('value', d[3]));
    row.appendChild(span('desc', d[4] == null ? '' : d[4]));
    row.appendChild(span('id', d[5] == null ? '' : d[5]));
    return row;
  }

  function height() { return view.clientHeight || window.innerHeight; }
  // The scroll position (from the top of the rows) that shows row r first,
  // and the row shown first at a position.
  function rowTop(r) {
    if (nrows * ROW <= MAX_HEIGHT) return r * ROW;
    return r / (nrows - height() / ROW) * (MAX_HEIGHT - height());
  }
  function rowAt(top) {
    if (nrows * ROW <= MAX_HEIGHT) return top / ROW;
    return top / (MAX_HEIGHT - height()) * (nrows - height() / ROW);
  }

  var pending = false;
  function render() {
    pending = false;
    var top = Math.max(0, view.scrollTop - head.offsetHeight), at = rowAt(top);
    var first = Math.max(0, Math.floor(at) - OVERSCAN);
    var last = Math.min(nrows, Math.ceil(at + height() / ROW) + OVERSCAN);
    var fragment = document.createDocumentFragment();
    for (var r = first; r < last; r++) fragment.appendChild(makeRow(rows[r]));
    list.style.top = Math.round(top - (at - first) * ROW) + 'px';
    list.replaceChildren(fragment);
  }
  function refresh() { layout(); render(); }

  function toggle(j) {
    open[j] ^= 1;
    refresh();
    var b = list.querySelector('[data-i="' + j + '"] .fold');
    if (b) b.focus();
  }

  // Shows entry j: opens its ancestors (leaving a search that hides it) and
  // scrolls it into view.
  function reveal(j) {
    if (keep && !keep[j]) { box.value = ''; search(''); }
    for (var a = parent[j]; a >= 0; a = parent[a]) open[a] = 1;
    layout();
    var r = Array.prototype.indexOf.call(rows.subarray(0, nrows), j);
    flashed = j;
    view.scrollTop = rowTop(Math.max(0, r - Math.floor(height() / ROW / 3))) + head.offsetHeight;
    render();
  }

  // Filters the rows to the entries whose name or value holds the query (any
  // case), the rows that link to kept ones (later places, shared children)
  // and their ancestors, all unfolded; the folding from before comes back
  // when the query is emptied.
  function search(text) {
    query = text.toLowerCase();
    if (!query) {
      if (saved) open.set(saved);
      saved = keep = hits = null;
      $('matches').textContent = '';
    } else {
      if (!saved) saved = open.slice();
      if (!hay) {
        hay = new Array(n);
        for (var k = 0; k < n; k++) {
          hay[k] = nodes[k][1] < 0 ? '' : (nodes[k][2] + '\u0000' + nodes[k][3]).toLowerCase();
        }
      }
      keep = new Uint8Array(n);
      hits = new Uint8Array(n);
      var count = 0, j;
      for (j = 0; j < n; j++) if (hay[j].indexOf(query) >= 0) { hits[j] = keep[j] = 1; count++; }
      // A link points to an earlier entry, a parent too; a kept link can keep
      // the ancestors of another link, hence the rounds.
      for (var more = true; more;) {
        more = false;
        for (j = n - 1; j > 0; j--) if (keep[j]) keep[parent[j]] = 1;
        for (j = 0; j < n; j++) {
          var to = nodes[j][1] < 0 ? nodes[j][2] : nodes[j][7];
          if (to >= 0 && keep[to] && !keep[j]) more = keep[j] = 1;
        }
      }
      open.fill(1);
      $('matches').textContent = count.toLocaleString('en-US') + (count === 1 ? ' match' : ' matches');
    }
    view.scrollTop = 0;
    refresh();
  }

  var timer = 0;
  box.addEventListener('input', function () {
    clearTimeout(timer);
    timer = setTimeout(function () { search(box.value); }, n > 20000 ? 250 : 0);
  });
  $('expand-all').addEventListener('click', function () { open.fill(1); refresh(); });
  $('collapse-all').addEventListener('click', function () {
    open.fill(0);
    view.scrollTop = 0;
    refresh();
  });
  list.addEventListener('click', function (event) {
    var b = event.target.closest('.fold');
    if (b) { toggle(+b.parentNode.parentNode.dataset.i); return; }
    var a = event.target.closest('a.link');
    // The hash does not change when the link is followed twice.
    if (a && a.getAttribute('href') === location.hash) {
      event.preventDefault();
      reveal(+location.hash.slice(2));
    }
  });
  function fromHash() {
    var m = /^#n(\d+)$/.exec(location.hash);
    if (m && +m[1] < n) reveal(+m[1]);
  }
  window.addEventListener('hashchange', fromHash);
  view.addEventListener('scroll', function () {
    if (!pending) { pending = true; requestAnimationFrame(render); }
  });
  window.addEventListener('resize', render);
  refresh();
  fromHash();
})();
</script>
</body>
</html>
)html";

const char kHtmlPageShowWritten[] = "  $('written').textContent = 'written ' + data.written;\n";

} // namespace detail
} // namespace genattr

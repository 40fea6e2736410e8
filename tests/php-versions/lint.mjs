// Runs lint.php on PHP 7.4 and 8.4 (WebAssembly builds) over the PHP files given: node lint.mjs FILE...
// The newest PHP's own functions are the reference, so a function added after 7.4 shows.
import { readFileSync } from 'node:fs';
import { resolve } from 'node:path';
import { loadPHPRuntime, PHP } from '@php-wasm/universal';

const versions = { '8.4': '@php-wasm/node-8-4', '7.4': '@php-wasm/node-7-4' };
const files = process.argv.slice(2).map((f) => resolve(f));
const lint = readFileSync(new URL('./lint.php', import.meta.url), 'utf8');
let functions = null;
let failed = false;

for (const [version, pkg] of Object.entries(versions)) {
    const { getPHPLoaderModule } = await import(pkg);
    const php = new PHP(await loadPHPRuntime(await getPHPLoaderModule()));
    php.mkdir('/lint');
    php.writeFile('/lint/lint.php', lint);
    for (const [i, file] of files.entries()) {
        php.mkdir(`/lint/files/${i}`);
        php.writeFile(`/lint/files/${i}/${file.split('/').pop()}`, readFileSync(file));
    }
    const run = async (args) => {
        php.writeFile('/lint/args.json', JSON.stringify(args));
        const r = await php.run({
            code: `<?php $argv = array_merge(array('lint.php'), json_decode(file_get_contents('/lint/args.json'), true)); require '/lint/lint.php';`,
        });
        if (r.exitCode !== 0 || r.errors) throw new Error(`PHP ${version}: exit ${r.exitCode} ${r.errors}`);
        return r.text;
    };
    if (functions === null) {
        functions = await run(['']);
        php.writeFile('/lint/functions.json', functions);
    } else {
        php.writeFile('/lint/functions.json', functions);
    }
    const wasmPaths = files.map((f, i) => `/lint/files/${i}/${f.split('/').pop()}`);
    const out = (await run(['/lint/functions.json', ...wasmPaths])).replace(
        /\/lint\/files\/(\d+)\/[^ ]+/g,
        (_, i) => files[Number(i)],
    );
    process.stdout.write(out);
    const checks = out.split('\n').filter((l) => /^(not )?ok /.test(l));
    if (checks.length !== files.length || checks.some((l) => l.startsWith('not ok'))) failed = true;
    php.exit();
}
process.exit(failed ? 1 : 0);

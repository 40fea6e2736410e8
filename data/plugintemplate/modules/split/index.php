<?php
// Nothing to see here.
